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

// A value right-aligned in 9 columns, and at least one blank before it.
std::string Cell(const Value& x) {
  const std::string text = x && std::isfinite(*x) ? Table4(*x) : "--";
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

  // A row, its short label indented under its parent's; its reason goes
  // below the table after its full label.
  void Row(const ResultRow& row, bool under, const std::string& parentReason) {
    const Value low = row.ci ? Value(row.ci->low) : std::nullopt;
    const Value high = row.ci ? Value(row.ci->high) : std::nullopt;
    // A class label's control bytes are written escaped, as \x1B.
    std::string padded = ControlEscaped(under ? "   " + row.shortLabel : " " + row.label);
    padded.resize(33, ' ');
    out_ << "\n" << padded << Cell(row.estimate) << Cell(row.se) << Cell(low) << Cell(high) << Cell(row.z)
         << PCell(row.p);
    // A reason that the row above already gave is said once.
    if (!row.reason.empty() && !(under && row.reason == parentReason)) {
      notes_.push_back(ControlEscaped(row.label) + ": " + row.reason + ".");
    }
    if (!row.caution.empty()) notes_.push_back(ControlEscaped(row.label) + ": not to be read as it stands: " + row.caution + ".");
  }

  void Note(const std::string& text) { notes_.push_back(text); }

  ~CoefficientTable() {
    for (const std::string& note : notes_) out_ << "\n " << note;
  }

 private:
  std::ostream& out_;
  std::vector<std::string> notes_;
};

std::string ObjectsNote(const Results& res) {
  const InputDescription& in = res.input;
  std::string note = Format("Objects: %.0lf", {in.objects});
  if (in.completeObjects == in.objects) return note + ", all rated by every rater.";
  return note + Format(", %.0lf rated by every rater (%.0lf ratings missing): the Zover model,", {in.completeObjects, in.missingRatings}) +
         "\n Hubert's kappa, H2 and Fleiss' kappa use only those; the other coefficients use\n every rating.";
}

// The notes on the coefficients of ordered classes: the class values, the
// weights as a table, the bootstrap, and what stays nominal.
void OrderedNotes(const Results& res, CoefficientTable& table) {
  const OrderedSettings& ordered = res.ordered;
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
  if (!ordered.levels.empty()) {
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

// What Conger's and Light's kappa and Scott's pi are, when the table has
// them.
void RaterKappaNotes(const Results& res, CoefficientTable& table) {
  if (res.Find("conger_kappa") != nullptr) {
    table.Note(res.R == 2 ? "Conger's kappa: Cohen's kappa with Gwet's SE, each rater's own class shares as"
                          : "Conger's kappa: H2 with Gwet's SE (they are equal without missing ratings); each");
    table.Note(res.R == 2 ? "chance, on every rating." : "rater's own class shares as chance, on every rating.");
  }
  if (const ResultRow* light = res.Find("light_kappa"); light != nullptr && light->estimate) {
    const DisagreementRecord& d = res.disagreement;
    table.Note("Light's kappa: the mean of the pairs' Cohen's kappas, each on the objects both");
    table.Note(d.lightSamples > 0 ? "raters rated; " + LevelPercent(res.level) + " % interval from " +
                                        std::to_string(d.lightSamples) + " bootstrap resamples of the objects (seed " +
                                        std::to_string(d.lightSeed) + ")."
                                  : "raters rated; no bootstrap interval (--bootstrap 0).");
  }
  if (res.Find("scott_pi") != nullptr) {
    table.Note("Scott's pi: both raters' classes pooled as chance, with Gwet's SE.");
  }
}

}  // namespace

void PrintCoefficientTable(const Results& res, std::ostream& out) {
  CoefficientTable table(out);
  // The coefficients of the whole data (not the raw agreement, not the
  // model's final table, not the pairs and raters, printed after the table),
  // each followed by the rows that belong under it.
  const auto listed = [](const ResultRow& row) {
    return row.group != RowGroup::kAgreement && row.group != RowGroup::kModel && row.group != RowGroup::kPair &&
           row.group != RowGroup::kRater;
  };
  const auto has = [&res, &listed](const std::string& key) {
    for (const ResultRow& row : res.rows) {
      if (listed(row) && row.key == key) return true;
    }
    return false;
  };
  for (const ResultRow& row : res.rows) {
    if (!listed(row) || (!row.parent.empty() && has(row.parent))) continue;
    table.Row(row, false, "");
    for (const ResultRow& child : res.rows) {
      if (listed(child) && child.parent == row.key) table.Row(child, true, row.reason);
    }
  }
  table.Note("z and p: the kappas of Cohen and Fleiss (and per class) against their standard");
  table.Note("error under no agreement beyond chance; the others against their own SE.");
  RaterKappaNotes(res, table);
  table.Note(ObjectsNote(res));
  if (res.ordered.asked) OrderedNotes(res, table);
}

}  // namespace zover
