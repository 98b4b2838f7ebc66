// The batch command's CSV: one tidy table of every value, one row each,
// under the header measure,class,rater,estimate,se,ci95_low,ci95_high.
// Numbers as in the JSON (the shortest text that reads back to the same
// double); an empty cell where a value does not apply or is not finite. The
// model's values are those of the final table.

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "output/batch_output.h"
#include "output/measures.h"

namespace zover {

namespace {

std::string Cell(double x) { return std::isfinite(x) ? nlohmann::json(x).dump() : ""; }

// A text cell, quoted when it holds a separator, a quote or a line end.
std::string TextCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

class CsvTable {
 public:
  explicit CsvTable(std::ostream& out) : out_(out) {
    out_ << "measure,class,rater,estimate,se,ci95_low,ci95_high\n";
  }

  // One row; class and rater "" where they do not apply.
  void Row(const char* measure, const std::string& cls, const std::string& rater, double estimate) {
    out_ << measure << ',' << cls << ',' << rater << ',' << Cell(estimate) << ",,,\n";
  }
  void Row(const char* measure, const std::string& cls, double estimate, double se) {
    out_ << measure << ',' << cls << ",," << Cell(estimate) << ',' << Cell(se) << ',';
    if (std::isfinite(estimate) && std::isfinite(se)) {
      const auto [low, high] = ConfidenceInterval95(estimate, se);
      out_ << Cell(low) << ',' << Cell(high) << '\n';
    } else {
      out_ << ",\n";
    }
  }

 private:
  std::ostream& out_;
};

std::string RaterLabel(const PassResults& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[r].empty()) return TextCell(names[r]);
  return std::to_string(r + 1);
}

}  // namespace

void PrintCsv(const PassResults& res, std::ostream& out) {
  CsvTable table(out);
  table.Row("raw_agreement", "", "", res.raw);
  if (res.hubert.hasSe) {
    table.Row("hubert_kappa", "", res.hubert.estimate, res.hubert.se);
  } else {
    table.Row("hubert_kappa", "", "", res.hubert.estimate);
  }
  if (res.hasFleiss) table.Row("fleiss_kappa", "", res.fleiss.estimate, res.fleiss.se);
  if (res.hasH2) table.Row("h2", "", "", res.h2);

  const ModelResults& model = res.model;
  const ModelMeasures& m = FinalMeasures(model);
  table.Row("zover_overall", "", m.overall, std::sqrt(model.var_suc));
  for (int i = 0; i < res.K; ++i) {
    const std::string cls = std::to_string(i + 1);
    table.Row("zover_agreement", cls, m.agreement[i], std::sqrt(model.var_alp[i]));
    table.Row("zover_consistency", cls, m.consistency[i], std::sqrt(model.var_cons[i]));
  }
  for (int i = 0; i < res.K; ++i) {
    for (int r = 0; r < res.R; ++r) {
      table.Row("chance_probability", std::to_string(i + 1), RaterLabel(res, r), m.pi[i][r]);
    }
  }
}

}  // namespace zover
