// The model report: fixed-layout text tables of the measures of the Zover
// model. Each variant is printed text by text in the order it appears on the
// screen; the layouts of the tables are the TableTexts constants below.

#include "driver/report.h"

#include <cmath>
#include <ostream>

#include "console/format.h"
#include "tables/near.h"

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

// The measures a table shows: the report copies or the latest fit's.
struct Measures {
  const std::vector<double>& consistency;
  const std::vector<double>& agreement;
  const Grid<double>& pi;
  double overall;
};

Measures ReportCopies(const Tables& tb) {
  return {tb.consistency, tb.agreement, tb.pi, tb.overall};
}

Measures LatestFit(const Tables& tb) { return {tb.consist, tb.acuerd, tb.prop, tb.acglobal}; }

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

void PrintTableHead(const Tables& tb, const TableTexts& texts, std::ostream& out) {
  Print(out, texts.heading);
  Print(out, texts.subheading);
  Print(out, texts.classHeading);
  for (int r = 1; r <= tb.R; ++r) Print(out, texts.raterHeading, {r});
}

void PrintProbabilities(const Tables& tb, const TableTexts& texts, const Grid<double>& pi, int i,
                        std::ostream& out) {
  for (int r = 0; r < tb.R; ++r) {
    if (texts.zeroProbability != nullptr && pi[i][r] == 0.0) {
      Print(out, texts.zeroProbability);
    } else {
      Print(out, texts.probability, {pi[i][r]});
    }
  }
}

// A table of the first estimate: measures without standard errors.
void PrintFirstEstimateTable(const Tables& tb, const TableTexts& texts, std::ostream& out) {
  const Measures m = ReportCopies(tb);
  PrintTableHead(tb, texts, out);
  for (int i = 0; i < tb.K; ++i) {
    Print(out, texts.rowLabel, {i + 1});
    Print(out, texts.consistency.For(m.consistency[i]), {m.consistency[i]});
    Print(out, texts.agreement.For(m.agreement[i]), {m.agreement[i]});
    PrintProbabilities(tb, texts, m.pi, i, out);
  }
  Print(out, kSeparator);
  Print(out, texts.overall, {m.overall});
}

// A table of measures with the square roots of their variances.
void PrintTableWithErrors(const Tables& tb, const TableTexts& texts, const Measures& m,
                          std::ostream& out) {
  PrintTableHead(tb, texts, out);
  for (int i = 0; i < tb.K; ++i) {
    Print(out, texts.rowLabel, {i + 1});
    Print(out, texts.consistency.For(m.consistency[i]),
          {m.consistency[i], kPlusMinus, std::sqrt(tb.var_cons[i])});
    Print(out, texts.agreement.For(m.agreement[i]),
          {m.agreement[i], kPlusMinus, std::sqrt(tb.var_alp[i])});
    PrintProbabilities(tb, texts, m.pi, i, out);
  }
  Print(out, kSeparator);
  Print(out, texts.overall, {m.overall, kPlusMinus, std::sqrt(tb.var_suc)});
}

void PrintTwoByTwo(const Tables& tb, std::ostream& out) {
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
  for (int r = 1; r <= tb.R; ++r) Print(out, "  RATER %d   ", {r});
  const SignedCell agreement{"   %.4lf  ", "  %.4lf  "};
  for (int i = 0; i < 3; ++i) {
    Print(out, "\n   %d   ", {i + 1});
    Print(out, agreement.For(tb.agreementesp[i]), {tb.agreementesp[i]});
    for (int r = 0; r < tb.R; ++r) Print(out, "     %.4lf  ", {tb.piesp[i][r]});
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover =  %.4lf", {tb.overallesp});

  // The measures of the two entered classes.
  Print(out, "\n\nFinal agreement measures in the original case of R=K=2.\n");
  Print(out, "\n");
  Print(out, "\n\t\tDegree of");
  Print(out, "\n\t\tagreement");
  Print(out, "\n CLASS         CONSISTENCY         AGREEMENT   ");
  const SignedCell withError{"   %.4lf %c %.4lf ", "  %.4lf %c %.4lf "};
  for (int i = 0; i < tb.K; ++i) {
    Print(out, "\n   %d   ", {i + 1});
    Print(out, withError.For(tb.consistency[i]),
          {tb.consistency[i], kPlusMinus, std::sqrt(tb.var_cons[i])});
    Print(out, withError.For(tb.agreement[i]),
          {tb.agreement[i], kPlusMinus, std::sqrt(tb.var_alp[i])});
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover =  %.4lf %c %.4lf",
        {tb.overall, kPlusMinus, std::sqrt(tb.var_suc)});
}

void PrintIndeterminate(const Tables& tb, std::ostream& out) {
  PrintFirstEstimateTable(tb, kIndeterminateFirst, out);
  Print(out, "\n\nThe SE values cannot be estimated since estimated probabilities pi");
  Print(out, "\nare indeterminate. The results, which are shown below, are more");
  Print(out, "\nappropiate and have been obtained by increasing all of the agreements/");
  Print(out, "\ndisagreements by 0.5.");
  PrintTableWithErrors(tb, kIncreasedData, LatestFit(tb), out);
}

// The first table marks class t, whose agreement tends to minus infinity: it
// has no measures, and all its chance probabilities go to that class.
void PrintMinusInfinityFirst(const Tables& tb, std::ostream& out) {
  Print(out, "\n\n\tDegree of\tModel parameters");
  Print(out, "\n        agreement               PROBABILITY OF RESPONSE i BY CHANCE");
  Print(out, "\n CLASS CONSISTENCY   AGREEMENT   ");
  for (int r = 1; r <= tb.R; ++r) Print(out, "  RATER %d  ", {r});
  for (int i = 0; i < tb.K; ++i) {
    Print(out, "\n   %d ", {i + 1});
    const bool marked = i == tb.t;
    if (marked) {
      Print(out, "  -Infinity  ");
      Print(out, "   -Infinity  ");
    } else {
      Print(out, tb.consistency[i] < 0 ? "  %.4lf    " : "   %.4lf    ", {tb.consistency[i]});
      Print(out, tb.agreement[i] < 0 ? "   %.4lf    " : "    %.4lf    ", {tb.agreement[i]});
    }
    for (int r = 0; r < tb.R; ++r) Print(out, marked ? "    1.0    " : "    0.0    ");
  }
  Print(out, kSeparator);
  Print(out, "\n Overall degree of agreement: Zover = -Infinity  ");
}

void PrintMinusInfinity(const Tables& tb, std::ostream& out) {
  PrintMinusInfinityFirst(tb, out);
  Print(out, "\n\nThe SE values cannot be estimated since some of estimated probabilities pi");
  Print(out, "\nare 0. In addition the overall agreement measure is not appropiate because");
  Print(out, "\nthe presence of agreement is equal to %cinfinity. The results, which are", {kMinus});
  Print(out, "\nshown below, are more appropriate and have been obtained by increasing all");
  Print(out, "\nof the agreements/disagreements by 0.5.");
  PrintTableWithErrors(tb, kMinusInfinityIncreasedData, LatestFit(tb), out);
}

void PrintInfiniteSolutions(Tables& tb, std::ostream& out) {
  Print(out, "\n\nThe problem has infinite solutions. The results, which are shown below,");
  Print(out, "\nhave been obtained by increasing all of the agreements/disagreements by 0.5.");
  OverwriteReportTables(tb);
  PrintTableWithErrors(tb, kIncreasedData, ReportCopies(tb), out);
}

void PrintZeroProbability(Tables& tb, std::ostream& out) {
  PrintFirstEstimateTable(tb, kZeroProbabilityFirst, out);
  Print(out, "\n\nThe SE values cannot be estimated since some of estimated probabilities pi are");
  Print(out, "\n0. The results, which are shown below, have been obtained by increasing all of");
  Print(out, "\nthe agreements/disagreements by 0.5.");
  OverwriteReportTables(tb);
}

void PrintRegular(const Tables& tb, std::ostream& out) {
  PrintTableWithErrors(tb, kRegular, ReportCopies(tb), out);
}

}  // namespace

Report SelectReport(const Tables& tb, double B, int zeroProbabilities) {
  if (tb.R == tb.K && tb.K == 2) return Report::kTwoByTwo;
  if (Near(B, 0)) return Report::kIndeterminate;
  if (Near(B, -1)) return Report::kMinusInfinity;
  if (Near(B, -2)) return Report::kInfiniteSolutions;
  if (zeroProbabilities > 0) return Report::kZeroProbability;
  return Report::kRegular;
}

void OverwriteReportTables(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.agreement[i] = tb.acuerd[i];
    tb.consistency[i] = tb.consist[i];
    tb.overall = tb.acglobal;
    for (int r = 0; r < tb.R; ++r) tb.pi[i][r] = tb.prop[i][r];
  }
}

void PrintReport(Tables& tb, Report report, std::ostream& out) {
  switch (report) {
    case Report::kTwoByTwo: PrintTwoByTwo(tb, out); break;
    case Report::kIndeterminate: PrintIndeterminate(tb, out); break;
    case Report::kMinusInfinity: PrintMinusInfinity(tb, out); break;
    case Report::kInfiniteSolutions: PrintInfiniteSolutions(tb, out); break;
    case Report::kZeroProbability:
      PrintZeroProbability(tb, out);
      PrintRegular(tb, out);
      break;
    case Report::kRegular: PrintRegular(tb, out); break;
  }
}

}  // namespace zover
