// The batch command's CSV: one tidy table of every value, one row each,
// under the header measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p.
// Numbers as in the JSON (the shortest text that reads back to the same
// double); an empty cell where a value does not apply, does not exist or is
// not finite. se is a coefficient's own (non-null) standard error and the
// interval comes from it; se0 is the standard error under the hypothesis of
// chance agreement, and z and p come from it where it is given, from se
// otherwise. The model's values are those of its final table.

#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "output/batch_output.h"
#include "output/measures.h"

namespace zover {

namespace {

using Value = std::optional<double>;

std::string Cell(const Value& x) { return x && std::isfinite(*x) ? nlohmann::json(*x).dump() : ""; }

// A text cell, quoted when it holds a separator, a quote or a line end.
std::string TextCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

struct Row {
  const char* measure;
  std::string cls;    // "" where it does not apply
  std::string rater;
  Value estimate, se, se0, z, p;
};

class CsvTable {
 public:
  explicit CsvTable(std::ostream& out) : out_(out) {
    out_ << "measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p\n";
  }

  // A count of objects or ratings, as a whole number.
  void AddCount(const char* measure, double count) {
    out_ << measure << ",,," << static_cast<long long>(count) << ",,,,,,\n";
  }

  void Add(const Row& row) {
    const auto interval = Interval95(row.estimate, row.se);
    const Value low = interval ? Value(interval->first) : std::nullopt;
    const Value high = interval ? Value(interval->second) : std::nullopt;
    out_ << row.measure << ',' << row.cls << ',' << row.rater << ',' << Cell(row.estimate) << ',' << Cell(row.se)
         << ',' << Cell(low) << ',' << Cell(high) << ',' << Cell(row.se0) << ',' << Cell(row.z) << ','
         << Cell(row.p) << '\n';
  }

 private:
  std::ostream& out_;
};

std::string RaterLabel(const PassResults& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[r].empty()) return TextCell(names[r]);
  return std::to_string(r + 1);
}

void Kappas(const PassResults& res, CsvTable& table) {
  const CoefficientResults& c = res.coefficients;
  table.Add({"raw_agreement", "", "", Finite(res.raw), {}, {}, {}, {}});
  Row hubert{"hubert_kappa", "", "", Finite(res.hubert.estimate), {}, {}, {}, {}};
  if (res.hubert.hasSe) hubert.se = Finite(res.hubert.se);
  if (c.hasCohen) {
    hubert.se0 = c.cohen.se0;
    hubert.z = c.cohen.z;
    hubert.p = c.cohen.p;
  }
  table.Add(hubert);
  if (res.hasFleiss) {
    const NullTest& t = c.fleiss.kappa;
    table.Add({"fleiss_kappa", "", "", Finite(res.fleiss.estimate), Finite(res.fleiss.se), t.se0, t.z, t.p});
    for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
      const NullTest& pc = c.fleiss.perClass[k];
      table.Add({"fleiss_kappa_class", std::to_string(k + 1), "", pc.estimate, {}, pc.se0, pc.z, pc.p});
    }
  }
  if (res.hasH2) table.Add({"h2", "", "", Finite(res.h2), {}, {}, {}, {}});
}

void Coefficients(const AgreementCoefficients& all, CsvTable& table) {
  const std::pair<const char*, const Inference*> gwet[] = {
      {"percent_agreement", &all.percentAgreement},
      {"brennan_prediger", &all.brennanPrediger},
      {"gwet_ac1", &all.gwetAc1},
      {"fleiss_general", &all.fleissGeneral},
  };
  for (const auto& [measure, g] : gwet) table.Add({measure, "", "", g->estimate, g->se, {}, g->z, g->p});
  table.Add({"krippendorff_alpha", "", "", all.krippendorffAlpha.value, {}, {}, {}, {}});
}

void Model(const PassResults& res, CsvTable& table) {
  const ModelResults& model = res.model;
  const ModelFit& m = FinalMeasures(model);
  table.Add({"zover_overall", "", "", Finite(m.overall), Finite(model.overallSe), {}, {}, {}});
  for (int i = 0; i < res.K; ++i) {
    const std::string cls = std::to_string(i + 1);
    table.Add({"zover_agreement", cls, "", Finite(m.agreement[i]), Finite(model.agreementSe[i]), {}, {}, {}});
    table.Add(
        {"zover_consistency", cls, "", Finite(m.consistency[i]), Finite(model.consistencySe[i]), {}, {}, {}});
  }
  for (int i = 0; i < res.K; ++i) {
    for (int r = 0; r < res.R; ++r) {
      table.Add({"chance_probability", std::to_string(i + 1), RaterLabel(res, r), Finite(m.pi[i][r]), {}, {}, {}, {}});
    }
  }
}

}  // namespace

void PrintCsv(const PassResults& res, std::ostream& out) {
  CsvTable table(out);
  table.AddCount("objects", res.input.objects);
  table.AddCount("complete_objects", res.input.completeObjects);
  table.AddCount("missing_ratings", res.input.missingRatings);
  if (res.analysed) Kappas(res, table);
  if (res.coefficients.present) Coefficients(res.coefficients.all, table);
  if (res.analysed) Model(res, table);
}

}  // namespace zover
