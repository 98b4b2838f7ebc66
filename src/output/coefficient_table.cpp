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

  void Row(const std::string& label, Value estimate, Value se, const Interval& interval, Value z, Value p,
           const std::string& reason) {
    const Value low = interval ? Value(interval->first) : std::nullopt;
    const Value high = interval ? Value(interval->second) : std::nullopt;
    std::string padded = " " + label;
    padded.resize(33, ' ');
    out_ << "\n" << padded << Cell(estimate) << Cell(se) << Cell(low) << Cell(high) << Cell(z) << PCell(p);
    if (!reason.empty()) notes_.push_back(label + ": " + reason + ".");
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

}  // namespace

void PrintCoefficientTable(const PassResults& res, std::ostream& out) {
  const CoefficientResults& c = res.coefficients;
  CoefficientTable table(out);
  if (res.analysed) {
    const char* hubert = res.R == 2 ? "Hubert's (Cohen's) kappa" : "Hubert's kappa (DeMoivre or HR)";
    const Value hubertEstimate = Finite(res.hubert.estimate), hubertSe = Finite(res.hubert.se);
    const Interval hubertInterval = Interval95(hubertEstimate, hubertSe, kKappaRange);
    if (c.hasCohen) {
      table.Row(hubert, hubertEstimate, hubertSe, hubertInterval, c.cohen.z, c.cohen.p, c.cohen.reason);
    } else {
      table.Row(hubert, hubertEstimate, hubertSe, hubertInterval, {}, {}, res.hubert.reason);
    }
    const Value fleiss = Finite(res.fleiss.estimate), fleissSe = Finite(res.fleiss.se);
    table.Row("Fleiss' kappa", fleiss, fleissSe, Interval95(fleiss, fleissSe, kKappaRange), c.fleiss.kappa.z,
              c.fleiss.kappa.p, c.fleiss.kappa.reason);
    for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
      const NullTest& t = c.fleiss.perClass[k];
      table.Row("  class " + std::to_string(k + 1), t.estimate, {}, {}, t.z, t.p, t.reason);
    }
    if (res.hasH2) table.Row("Hubert's kappa (pairwise or H2)", Finite(res.h2), {}, {}, {}, {}, res.h2Reason);
  }
  const AgreementCoefficients& all = c.all;
  const std::pair<const char*, const Inference*> gwet[] = {
      {"Percent agreement", &all.percentAgreement},
      {"Brennan-Prediger", &all.brennanPrediger},
      {"Gwet's AC1", &all.gwetAc1},
      {"Fleiss' kappa (Gwet's form)", &all.fleissGeneral},
  };
  for (const auto& [label, g] : gwet) table.Row(label, g->estimate, g->se, g->ci95, g->z, g->p, g->reason);
  table.Row("Krippendorff's alpha", all.krippendorffAlpha.value, {}, {}, {}, {}, all.krippendorffAlpha.reason);
  table.Note("z and p: the kappas of Cohen and Fleiss (and per class) against their standard");
  table.Note("error under no agreement beyond chance; the others against their own SE.");
  table.Note(ObjectsNote(res));
}

}  // namespace zover
