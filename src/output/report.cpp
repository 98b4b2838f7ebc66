// The model report: fixed-layout text tables of the measures of the Zover
// model. Each variant is printed text by text in the order it appears on the
// screen; the layouts of the tables are the TableTexts constants below.

#include "output/report.h"

#include <cmath>
#include <ostream>

#include "console/format.h"
#include "output/batch_output.h"

namespace zover {

namespace {

const char* const kSeparator =
    "\n -------------------------------------------------------------------";

// A sign-dependent cell: the first format for a value >= 0, the second for a
// negative value or one that is not a number.
struct SignedCell {
  const char* nonNegative;
  const char* negative;
  const char* For(double value) const { return value >= 0 ? nonNegative : negative; }
};

// The texts of one table of class measures and chance probabilities.
struct TableTexts {
  const char* heading;        // two heading lines
  const char* subheading;
  const char* classHeading;
  const char* raterHeading;   // per rater, with its number
  const char* rowLabel;       // per class, with its number
  SignedCell consistency;
  SignedCell agreement;
  const char* probability;    // per rater
  const char* zeroProbability;  // shown instead of a probability of exactly 0, if any
  const char* overall;
};

// First estimate, without standard errors.
const TableTexts kIndeterminateFirst = {
    "\n\n\tDegree of\tModel parameters",
    "\n        agreement               PROBABILITY OF RESPONSE i BY CHANCE",
    "\n CLASS CONSISTENCY  AGREEMENT   ",
    "   RATER %d  ",
    "\n   %d  ",
    {"   %.4lf  ", "  %.4lf  "},
    {"    %.4lf  ", "   %.4lf  "},
    "  %.4lf  ",
    "       ---- ",
    "\n Overall degree of agreement: Zover = %.4lf ",
};

const TableTexts kZeroProbabilityFirst = {
    "\n\n\t Degree of\t\t   Model parameters",
    "\n         agreement                      PROBABILITY OF RESPONSE i BY CHANCE",
    "\n CLASS CONSISTENCY  AGREEMENT",
    "  RATER %d  ",
    "\n   %d ",
    {"   %.4lf  ", "  %.4lf  "},
    {"    %.4lf  ", "   %.4lf  "},
    "   %.4lf  ",
    nullptr,
    "\n Overall degree of agreement: Zover = %.4lf ",
};

// Measures with standard errors.
const TableTexts kIncreasedData = {
    "\n\n\t   Degree of\t\t   Model parameters",
    "\n           agreement                      PROBABILITY OF RESPONSE i BY CHANCE",
    "\n CLASS    CONSISTENCY         AGREEMENT     ",
    "  RATER %d ",
    "\n   %d ",
    {"   %.4lf %c %.4lf ", "  %.4lf %c %.4lf "},
    {"    %.4lf %c %.4lf ", "   %.4lf %c %.4lf "},
    "  %.4lf  ",
    nullptr,
    "\n Overall degree of agreement: Zover = %.4lf %c %.4lf",
};

const TableTexts kMinusInfinityIncreasedData = {
    "\n\n\t   Degree of\t\t   Model parameters",
    "\n           agreement                      PROBABILITY OF RESPONSE i BY CHANCE",
    "\n CLASS    CONSISTENCY         AGREEMENT       ",
    "  RATER %d   ",
    "\n   %d ",
    {"   %.4lf %c %.4lf ", "  %.4lf %c %.4lf "},
    {"    %.4lf %c %.4lf ", "   %.4lf %c %.4lf "},
    "    %.4lf  ",
    nullptr,
    "\n Overall degree of agreement: Zover = %.4lf %c %.4lf",
};

const TableTexts kRegular = {
    "\n\n\t   Degree of\t\t   Model parameters",
    "\n           agreement                      PROBABILITY OF RESPONSE i BY CHANCE",
    "\n CLASS    CONSISTENCY         AGREEMENT    ",
    "  RATER %d  ",
    "\n   %d  ",
    {"  %.4lf %c %.4lf ", " %.4lf %c %.4lf "},
    {"  %.4lf %c %.4lf ", " %.4lf %c %.4lf "},
    "   %.4lf  ",
    nullptr,
    "\n Overall degree of agreement: Zover = %.4lf %c %.4lf",
};

void PrintTableHead(const Results& res, const TableTexts& texts, std::ostream& out) {
  Print(out, texts.heading);
  Print(out, texts.subheading);
  Print(out, texts.classHeading);
  for (int r = 1; r <= res.R; ++r) Print(out, texts.raterHeading, {r});
}

void PrintProbabilities(const Results& res, const TableTexts& texts, const Grid<double>& pi, int i,
                        std::ostream& out) {
  for (int r = 0; r < res.R; ++r) {
    if (texts.zeroProbability != nullptr && pi[i][r] == 0.0) {
      Print(out, texts.zeroProbability);
    } else {
      Print(out, texts.probability, {pi[i][r]});
    }
  }
}

// A table of the first estimate: measures without standard errors.
void PrintFirstEstimateTable(const Results& res, const TableTexts& texts, std::ostream& out) {
  const ModelFit& m = res.model.first;
  PrintTableHead(res, texts, out);
  for (int i = 0; i < res.K; ++i) {
    Print(out, texts.rowLabel, {i + 1});
    Print(out, texts.consistency.For(m.consistency[i]), {m.consistency[i]});
    Print(out, texts.agreement.For(m.agreement[i]), {m.agreement[i]});
    PrintProbabilities(res, texts, m.pi, i, out);
  }
  Print(out, kSeparator);
  Print(out, texts.overall, {m.overall});
}

// A table of measures with their standard errors.
void PrintTableWithErrors(const Results& res, const TableTexts& texts, const ModelFit& m,
                          std::ostream& out) {
  const ModelResults& model = res.model;
  PrintTableHead(res, texts, out);
  for (int i = 0; i < res.K; ++i) {
    Print(out, texts.rowLabel, {i + 1});
    Print(out, texts.consistency.For(m.consistency[i]),
          {m.consistency[i], kPlusMinus, model.consistencySe[i]});
    Print(out, texts.agreement.For(m.agreement[i]),
          {m.agreement[i], kPlusMinus, model.agreementSe[i]});
    PrintProbabilities(res, texts, m.pi, i, out);
  }
  Print(out, kSeparator);
  Print(out, texts.overall, {m.overall, kPlusMinus, model.overallSe});
}

void PrintTwoByTwo(const Results& res, std::ostream& out) {
  const ModelResults& model = res.model;
  Print(out, "\n\nThe problem has infinite solutions since there are more unknown parameters than");
  Print(out, "\ndegrees of freedom. The results, which are shown below, are based on creating");
  Print(out, "\na third dummy category with 0 agreements and 0 disagreements, increasing all");
  Print(out, "\nof the agreements/disagreements by 0.5 and determining the agreement measures");
  Print(out, "\nonly in both original categories.");
  Print(out, "\n\nParameters of model obtained through the new table with the three categories");
  Print(out, "\nand the increased data.");

  // The three-class fit, the dummy class included.
  Print(out, "\n\n                    PROBABILITY OF RESPONSE i BY CHANCE");
  Print(out, "\n CLASS    AGREEMENT  ");
  for (int r = 1; r <= res.R; ++r) Print(out, "  RATER %d   ", {r});
  const SignedCell agreement{"   %.4lf  ", "  %.4lf  "};
  for (int i = 0; i < 3; ++i) {
    Print(out, "\n   %d   ", {i + 1});
    Print(out, agreement.For(model.agreementesp[i]), {model.agreementesp[i]});
    for (int r = 0; r < res.R; ++r) Print(out, "     %.4lf  ", {model.piesp[i][r]});
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover =  %.4lf", {model.overallesp});

  // The measures of the two entered classes.
  Print(out, "\n\nFinal agreement measures in the original case of R=K=2.\n");
  Print(out, "\n");
  Print(out, "\n\t\tDegree of");
  Print(out, "\n\t\tagreement");
  Print(out, "\n CLASS         CONSISTENCY         AGREEMENT   ");
  const SignedCell withError{"   %.4lf %c %.4lf ", "  %.4lf %c %.4lf "};
  const ModelFit& m = model.first;
  for (int i = 0; i < res.K; ++i) {
    Print(out, "\n   %d   ", {i + 1});
    Print(out, withError.For(m.consistency[i]),
          {m.consistency[i], kPlusMinus, model.consistencySe[i]});
    Print(out, withError.For(m.agreement[i]),
          {m.agreement[i], kPlusMinus, model.agreementSe[i]});
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover =  %.4lf %c %.4lf",
        {m.overall, kPlusMinus, model.overallSe});
}

void PrintIndeterminate(const Results& res, std::ostream& out) {
  PrintFirstEstimateTable(res, kIndeterminateFirst, out);
  Print(out, "\n\nThe SE values cannot be estimated since estimated probabilities pi");
  Print(out, "\nare indeterminate. The results, which are shown below, are more");
  Print(out, "\nappropiate and have been obtained by increasing all of the agreements/");
  Print(out, "\ndisagreements by 0.5.");
  PrintTableWithErrors(res, kIncreasedData, res.model.latest(), out);
}

// The first table marks class t, whose agreement tends to minus infinity: it
// has no measures, and all its chance probabilities go to that class.
void PrintMinusInfinityFirst(const Results& res, std::ostream& out) {
  const ModelFit& m = res.model.first;
  Print(out, "\n\n\tDegree of\tModel parameters");
  Print(out, "\n        agreement               PROBABILITY OF RESPONSE i BY CHANCE");
  Print(out, "\n CLASS CONSISTENCY   AGREEMENT   ");
  for (int r = 1; r <= res.R; ++r) Print(out, "  RATER %d  ", {r});
  for (int i = 0; i < res.K; ++i) {
    Print(out, "\n   %d ", {i + 1});
    const bool marked = i == res.model.first.t;
    if (marked) {
      Print(out, "  -Infinity  ");
      Print(out, "   -Infinity  ");
    } else {
      Print(out, m.consistency[i] < 0 ? "  %.4lf    " : "   %.4lf    ", {m.consistency[i]});
      Print(out, m.agreement[i] < 0 ? "   %.4lf    " : "    %.4lf    ", {m.agreement[i]});
    }
    for (int r = 0; r < res.R; ++r) Print(out, marked ? "    1.0    " : "    0.0    ");
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover = -Infinity  ");
}

void PrintMinusInfinity(const Results& res, std::ostream& out) {
  PrintMinusInfinityFirst(res, out);
  Print(out, "\n\nThe SE values cannot be estimated since some of estimated probabilities pi");
  Print(out, "\nare 0. In addition the overall agreement measure is not appropiate because");
  Print(out, "\nthe presence of agreement is equal to %cinfinity. The results, which are", {kMinus});
  Print(out, "\nshown below, are more appropriate and have been obtained by increasing all");
  Print(out, "\nof the agreements/disagreements by 0.5.");
  PrintTableWithErrors(res, kMinusInfinityIncreasedData, res.model.latest(), out);
}

// The report tables are overwritten by the refit's measures before they are
// printed: the table shows the latest fit.
void PrintInfiniteSolutions(const Results& res, std::ostream& out) {
  Print(out, "\n\nThe problem has infinite solutions. The results, which are shown below,");
  Print(out, "\nhave been obtained by increasing all of the agreements/disagreements by 0.5.");
  PrintTableWithErrors(res, kIncreasedData, res.model.latest(), out);
}

// The first estimate, then the regular report of the refit.
void PrintZeroProbability(const Results& res, std::ostream& out) {
  PrintFirstEstimateTable(res, kZeroProbabilityFirst, out);
  Print(out, "\n\nThe SE values cannot be estimated since some of estimated probabilities pi are");
  Print(out, "\n0. The results, which are shown below, have been obtained by increasing all of");
  Print(out, "\nthe agreements/disagreements by 0.5.");
  PrintTableWithErrors(res, kRegular, res.model.latest(), out);
}

}  // namespace

void PrintKappaLines(const Results& res, std::ostream& out) {
  Print(out, "\n\n Raw = %.4lf and n = %.0lf", {res.raw, res.n});
  const char* hubert = res.R == 2 ? "\n\n Hubert's (Cohen's) kappa = %.4lf" : "\n\n Hubert's kappa (DeMoivre or HR) = %.4lf";
  Print(out, hubert, {res.hubert.estimate});
  if (res.hubert.hasSe) Print(out, " %c %.4lf", {kPlusMinus, res.hubert.se});
  if (res.hasFleiss) Print(out, "\n\n Fleiss' kappa = %.4lf %c %.4lf", {res.fleiss.estimate, kPlusMinus, res.fleiss.se});
  if (res.hasH2) Print(out, "\n\n Hubert's kappa (pairwise or H2) = %.4lf", {res.h2});
}

void PrintReport(const Results& res, std::ostream& out) {
  switch (res.model.report) {
    case Report::kTwoByTwo: PrintTwoByTwo(res, out); break;
    case Report::kIndeterminate: PrintIndeterminate(res, out); break;
    case Report::kMinusInfinity: PrintMinusInfinity(res, out); break;
    case Report::kInfiniteSolutions: PrintInfiniteSolutions(res, out); break;
    case Report::kZeroProbability: PrintZeroProbability(res, out); break;
    case Report::kRegular: PrintTableWithErrors(res, kRegular, res.model.first, out); break;
  }
}

void PrintAnalysis(const Results& res, std::ostream& out) {
  PrintKappaLines(res, out);
  PrintReport(res, out);
}

namespace {

// A paragraph of the batch text: each line after "\n " and at most 79
// columns wide, broken at blanks.
std::string Wrapped(const std::string& text) {
  std::string wrapped, line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > 78) {
      wrapped += "\n " + line;
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = end + 1;
  }
  return wrapped + "\n " + line;
}

}  // namespace

void PrintBatchText(const Results& res, std::ostream& out) {
  if (res.analysed) {
    PrintAnalysis(res, out);
    // The dialogue's report as it is, then what it does not say: a fit not
    // to be read as it stands.
    const ResultRow* overall = res.Find("zover_overall");
    if (overall != nullptr && !overall->caution.empty()) {
      out << "\n" << Wrapped("Caution: the Zover model is not to be read as it stands: " + overall->caution + ".");
    }
  } else {
    Print(out, "\n\n The Zover model, Hubert's kappa, H2 and Fleiss' kappa are not computed: %s.",
          {res.notAnalysed});
  }
  if (!res.input.classLabels.empty()) {
    std::string line = "\n\n Classes:";
    for (std::size_t i = 0; i < res.input.classLabels.size(); ++i) {
      line += (i == 0 ? " " : ", ") + std::to_string(i + 1) + " = " + ControlEscaped(res.input.classLabels[i]);
    }
    out << line;
  }
  if (res.observed) PrintCoefficientTable(res, out);
  PrintRaterTables(res, out);
  out << "\n";
}

}  // namespace zover
