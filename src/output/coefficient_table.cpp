// The batch text's table of agreement coefficients, printed after the model
// report: one row per coefficient with its estimate, standard error, 95 %
// interval, z and two-sided p; "--" where a value does not exist, with the
// reason below the table.

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/format.h"
#include "output/batch_output.h"
#include "output/measures.h"

namespace zover {

namespace {

using Value = std::optional<double>;
using Interval = std::optional<std::pair<double, double>>;

// A value right-aligned in 9 columns, and at least one blank before it.
std::string Cell(const Value& x) {
  const std::string text = x && std::isfinite(*x) ? Fixed4(*x) : "--";
  return std::string(text.size() < 9 ? 9 - text.size() : 1, ' ') + text;
}

std::string PCell(const Value& p) {
  if (p && *p < 0.0001) return "  <0.0001";
  return Cell(p);
}

class CoefficientTable {
 public:
  explicit CoefficientTable(std::ostream& out) : out_(out) {
    out_ << "\n\n Agreement coefficients";
    out_ << "\n Coefficient                      Estimate       SE   CI low  CI high        z        p";
  }

  // A row; a reason goes below the table after `named` (the label by
  // default).
  void Row(const std::string& label, Value estimate, Value se, const Interval& interval, Value z, Value p,
           const std::string& reason, const std::string& named = "") {
    const Value low = interval ? Value(interval->first) : std::nullopt;
    const Value high = interval ? Value(interval->second) : std::nullopt;
    std::string padded = " " + label;
    padded.resize(33, ' ');
    out_ << "\n" << padded << Cell(estimate) << Cell(se) << Cell(low) << Cell(high) << Cell(z) << PCell(p);
    if (!reason.empty()) notes_.push_back((named.empty() ? label : named) + ": " + reason + ".");
  }

  void Row(const std::string& label, const Inference& g, const std::string& named = "") {
    Row(label, g.estimate, g.se, g.ci, g.z, g.p, g.reason, named);
  }

  void Note(const std::string& text) { notes_.push_back(text); }

  ~CoefficientTable() {
    for (const std::string& note : notes_) out_ << "\n " << note;
  }

 private:
  std::ostream& out_;
  std::vector<std::string> notes_;
};

std::string ObjectsNote(const PassResults& res) {
  const InputDescription& in = res.input;
  std::string note = Format("Objects: %.0lf", {in.objects});
  if (in.completeObjects == in.objects) return note + ", all rated by every rater.";
  return note + Format(", %.0lf rated by every rater (%.0lf ratings missing): the Zover model,", {in.completeObjects, in.missingRatings}) +
         "\n Hubert's kappa, H2 and Fleiss' kappa use only those; the other coefficients use\n every rating.";
}

// The notes on the coefficients of ordered classes: the class values, the
// weights as a table, the bootstrap, and what stays nominal.
void OrderedNotes(const PassResults& res, CoefficientTable& table) {
  const OrderedResults& ordered = res.coefficients.ordered;
  table.Note("Class values: " + ClassValuesSource(res) + ".");
  if (ordered.weights != WeightScheme::kIdentity) {
    table.Note(std::string("Weighted rows: ") + WeightSchemeName(ordered.weights) + " weights of the class values:");
    const Grid<double>& w = ordered.weightMatrix;
    std::string line = "      ";
    for (std::size_t l = 0; l < w.cols(); ++l) {
      const std::string number = std::to_string(l + 1);
      line += std::string(number.size() < 9 ? 9 - number.size() : 1, ' ') + number;
    }
    table.Note(line);
    for (std::size_t k = 0; k < w.rows(); ++k) {
      const std::string number = std::to_string(k + 1);
      line = std::string(number.size() < 6 ? 6 - number.size() : 0, ' ') + number;
      for (std::size_t l = 0; l < w.cols(); ++l) line += Cell(w[k][l]);
      table.Note(line);
    }
  }
  if (!ordered.alphas.empty()) {
    table.Note("Krippendorff's alpha: ordinal uses the order of the class values, interval");
    if (ordered.bootstrapSamples > 0) {
      const std::string samples = std::to_string(ordered.bootstrapSamples);
      const std::string seed = " (seed " + std::to_string(ordered.seed) + ")";
      table.Note("and ratio the values; " + LevelPercent(res.level) + " % intervals from " + samples +
                 " bootstrap resamples");
      if (ordered.bootstrapMethod == BootstrapMethod::kPairs) {
        table.Note("of the pairable values as if independent" + seed + ": too narrow with more");
        table.Note("than two ratings an object.");
      } else {
        table.Note("of whole objects" + seed + ".");
      }
    } else {
      table.Note("and ratio the values; no bootstrap intervals (--bootstrap 0).");
    }
  }
  table.Note("The Zover model, the kappas, H2 and the unweighted rows treat the classes as");
  table.Note("nominal.");
}

}  // namespace

void PrintCoefficientTable(const PassResults& res, std::ostream& out) {
  const CoefficientResults& c = res.coefficients;
  CoefficientTable table(out);
  if (res.analysed) {
    const char* hubert = res.R == 2 ? "Hubert's (Cohen's) kappa" : "Hubert's kappa (DeMoivre or HR)";
    const Value hubertEstimate = Finite(res.hubert.estimate), hubertSe = Finite(res.hubert.se);
    const Interval hubertInterval = NormalInterval(hubertEstimate, hubertSe, res.hubert.range, res.level);
    if (c.hasCohen) {
      table.Row(hubert, hubertEstimate, hubertSe, hubertInterval, c.cohen.z, c.cohen.p, c.cohen.reason);
    } else {
      table.Row(hubert, hubertEstimate, hubertSe, hubertInterval, {}, {}, res.hubert.reason);
    }
    if (c.ordered.hasCohen) table.Row("  weighted", c.ordered.cohen.kappa, "Cohen's weighted kappa");
    const Value fleiss = Finite(res.fleiss.estimate), fleissSe = Finite(res.fleiss.se);
    table.Row("Fleiss' kappa", fleiss, fleissSe, NormalInterval(fleiss, fleissSe, res.fleiss.range, res.level), c.fleiss.kappa.z,
              c.fleiss.kappa.p, c.fleiss.kappa.reason);
    for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
      const NullTest& t = c.fleiss.perClass[k];
      table.Row("  class " + std::to_string(k + 1), t.estimate, {}, {}, t.z, t.p, t.reason);
    }
    if (res.hasH2) table.Row("Hubert's kappa (pairwise or H2)", Finite(res.h2), {}, {}, {}, {}, res.h2Reason);
  }
  const AgreementCoefficients& all = c.all;
  const OrderedResults& ordered = c.ordered;
  const bool weighted = ordered.weights != WeightScheme::kIdentity;
  const WeightedAgreement& w = ordered.gwet;
  struct Member {
    const char* label;
    const Inference* plain;
    const char* weightedLabel;
    const char* weightedName;
    const Inference* weighted;
  };
  const Member gwet[] = {
      {"Percent agreement", &all.percentAgreement, "  weighted", "Percent agreement, weighted", &w.percentAgreement},
      {"Brennan-Prediger", &all.brennanPrediger, "  weighted", "Brennan-Prediger, weighted", &w.brennanPrediger},
      {"Gwet's AC1", &all.gwetAc1, "  weighted: Gwet's AC2", "Gwet's AC2", &w.gwetAc2},
      {"Fleiss' kappa (Gwet's form)", &all.fleissGeneral, "  weighted", "Fleiss' kappa (Gwet's form), weighted",
       &w.fleissGeneral},
  };
  for (const Member& m : gwet) {
    table.Row(m.label, *m.plain);
    if (!weighted) continue;
    Inference row = *m.weighted;
    if (row.reason == m.plain->reason) row.reason.clear();  // said once, below the unweighted row
    table.Row(m.weightedLabel, row, m.weightedName);
  }
  const LeveledAlpha* nominal = NominalAlpha(ordered);
  table.Row("Krippendorff's alpha", all.krippendorffAlpha.value, {}, nominal != nullptr ? nominal->ci : Interval(),
            {}, {}, all.krippendorffAlpha.reason);
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) continue;
    const std::string level = AlphaLevelName(a.level);
    table.Row("  " + level, a.alpha.value, {}, a.ci, {}, {}, a.alpha.reason, "Krippendorff's alpha, " + level);
  }
  table.Note("z and p: the kappas of Cohen and Fleiss (and per class) against their standard");
  table.Note("error under no agreement beyond chance; the others against their own SE.");
  table.Note(ObjectsNote(res));
  if (weighted || !ordered.alphas.empty()) OrderedNotes(res, table);
}

}  // namespace zover
