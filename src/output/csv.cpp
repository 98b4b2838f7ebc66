// The batch command's CSV: one tidy table of every value, one row each,
// under the header
// measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,class_label.
// Numbers as in the JSON (the shortest text that reads back to the same
// double); an empty cell where a value does not apply, does not exist or is
// not finite. se is a coefficient's own (non-null) standard error and the
// interval comes from it; se0 is the standard error under the hypothesis of
// chance agreement, and z and p come from it where it is given, from se
// otherwise. The model's values are those of its final table. A rater's
// name is written as valid UTF-8, and never as a cell that a spreadsheet
// would run as a formula. The last column holds the label of the row's
// class, when the classes have labels. The rows of ordered classes (weighted
// coefficients, alpha by level, class values) come only when asked for,
// after Krippendorff's alpha, so that the other rows keep their places.

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "output/batch_output.h"
#include "output/measures.h"
#include "output/valid_utf8.h"

namespace zover {

namespace {

using Value = std::optional<double>;

std::string Cell(const Value& x) { return x && std::isfinite(*x) ? nlohmann::json(*x).dump() : ""; }

// Whether `text` is a decimal number such as -1, +2.5 or -3e-4.
bool IsNumber(const std::string& text) {
  if (text.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0';
}

// A text cell from the data (a rater's name): valid UTF-8; a leading ' where
// a spreadsheet would take it for a formula (=, +, - or @ first, and not a
// number); quoted when it holds a separator, a quote or a line end.
std::string TextCell(const std::string& name) {
  std::string text = ValidUtf8(name);
  if (!text.empty() && std::string("=+-@").find(text[0]) != std::string::npos && !IsNumber(text)) text.insert(0, "'");
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

using Interval = std::optional<std::pair<double, double>>;

struct Row {
  const char* measure;
  int cls;            // the class from 1; 0 where it does not apply
  std::string rater;
  Value estimate, se;
  Interval ci95;
  Value se0, z, p;
};

class CsvTable {
 public:
  CsvTable(const PassResults& res, std::ostream& out) : res_(res), out_(out) {
    out_ << "measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,class_label\n";
  }

  // A warning about the data as read: its text in the last column.
  void AddWarning(const std::string& text) { out_ << "warning,,,,,,,,,," << TextCell(text) << '\n'; }

  // A count of objects or ratings, as a whole number.
  void AddCount(const char* measure, double count) {
    out_ << measure << ",,," << static_cast<long long>(count) << ",,,,,,,\n";
  }

  void Add(const Row& row) {
    const Value low = row.ci95 ? Value(row.ci95->first) : std::nullopt;
    const Value high = row.ci95 ? Value(row.ci95->second) : std::nullopt;
    const std::string* label = ClassLabel(res_, row.cls - 1);
    out_ << row.measure << ',' << (row.cls > 0 ? std::to_string(row.cls) : "") << ',' << row.rater << ','
         << Cell(row.estimate) << ',' << Cell(row.se) << ',' << Cell(low) << ',' << Cell(high) << ','
         << Cell(row.se0) << ',' << Cell(row.z) << ',' << Cell(row.p) << ','
         << (label != nullptr ? TextCell(*label) : "") << '\n';
  }

 private:
  const PassResults& res_;
  std::ostream& out_;
};

std::string RaterLabel(const PassResults& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[r].empty()) return TextCell(names[r]);
  return std::to_string(r + 1);
}

void Kappas(const PassResults& res, CsvTable& table) {
  const CoefficientResults& c = res.coefficients;
  table.Add({"raw_agreement", 0, "", Finite(res.raw), {}, {}, {}, {}, {}});
  Row hubert{"hubert_kappa", 0, "", Finite(res.hubert.estimate), {}, {}, {}, {}, {}};
  if (res.hubert.hasSe) {
    hubert.se = Finite(res.hubert.se);
    hubert.ci95 = Interval95(hubert.estimate, hubert.se, kKappaRange);
  }
  if (c.hasCohen) {
    hubert.se0 = c.cohen.se0;
    hubert.z = c.cohen.z;
    hubert.p = c.cohen.p;
  }
  table.Add(hubert);
  if (res.hasFleiss) {
    const NullTest& t = c.fleiss.kappa;
    const Value fleiss = Finite(res.fleiss.estimate), fleissSe = Finite(res.fleiss.se);
    table.Add({"fleiss_kappa", 0, "", fleiss, fleissSe, Interval95(fleiss, fleissSe, kKappaRange), t.se0, t.z, t.p});
    for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
      const NullTest& pc = c.fleiss.perClass[k];
      table.Add({"fleiss_kappa_class", static_cast<int>(k + 1), "", pc.estimate, {}, {}, pc.se0, pc.z, pc.p});
    }
  }
  if (res.hasH2) table.Add({"h2", 0, "", Finite(res.h2), {}, {}, {}, {}, {}});
}

using Members = std::vector<std::pair<const char*, const Inference*>>;

void AddMembers(const Members& members, CsvTable& table) {
  for (const auto& [measure, g] : members) table.Add({measure, 0, "", g->estimate, g->se, g->ci95, {}, g->z, g->p});
}

void Coefficients(const CoefficientResults& c, CsvTable& table) {
  const AgreementCoefficients& all = c.all;
  const OrderedResults& ordered = c.ordered;
  AddMembers({{"percent_agreement", &all.percentAgreement},
              {"brennan_prediger", &all.brennanPrediger},
              {"gwet_ac1", &all.gwetAc1},
              {"fleiss_general", &all.fleissGeneral}},
             table);
  const LeveledAlpha* nominal = NominalAlpha(ordered);
  table.Add({"krippendorff_alpha", 0, "", all.krippendorffAlpha.value, {}, nominal != nullptr ? nominal->ci95 : Interval(),
             {}, {}, {}});
  // The coefficients of ordered classes, after the rows that are always there.
  if (ordered.hasCohen) {
    const Inference& k = ordered.cohen.kappa;
    table.Add({"cohen_kappa_weighted", 0, "", k.estimate, k.se, k.ci95, ordered.cohen.se0, k.z, k.p});
  }
  const bool weighted = ordered.weights != WeightScheme::kIdentity;
  if (weighted) {
    const WeightedAgreement& w = ordered.gwet;
    AddMembers({{"percent_agreement_weighted", &w.percentAgreement},
                {"brennan_prediger_weighted", &w.brennanPrediger},
                {"gwet_ac2", &w.gwetAc2},
                {"fleiss_general_weighted", &w.fleissGeneral}},
               table);
  }
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) continue;
    const std::string measure = std::string("krippendorff_alpha_") + AlphaLevelName(a.level);
    table.Add({measure.c_str(), 0, "", a.alpha.value, {}, a.ci95, {}, {}, {}});
  }
  if (weighted || !ordered.alphas.empty()) {
    for (std::size_t k = 0; k < ordered.classValues.size(); ++k) {
      table.Add({"class_value", static_cast<int>(k + 1), "", ordered.classValues[k], {}, {}, {}, {}, {}});
    }
  }
}

// A measure of the model with its standard error and interval.
Row ModelRow(const char* measure, int cls, double estimate, double standardError) {
  const Value value = Finite(estimate), se = Finite(standardError);
  return {measure, cls, "", value, se, Interval95(value, se, kModelRange), {}, {}, {}};
}

void Model(const PassResults& res, CsvTable& table) {
  const ModelResults& model = res.model;
  const ModelFit& m = FinalMeasures(model);
  table.Add(ModelRow("zover_overall", 0, m.overall, model.overallSe));
  for (int i = 0; i < res.K; ++i) {
    table.Add(ModelRow("zover_agreement", i + 1, m.agreement[i], model.agreementSe[i]));
    table.Add(ModelRow("zover_consistency", i + 1, m.consistency[i], model.consistencySe[i]));
  }
  for (int i = 0; i < res.K; ++i) {
    for (int r = 0; r < res.R; ++r) {
      table.Add({"chance_probability", i + 1, RaterLabel(res, r), Finite(m.pi[i][r]), {}, {}, {}, {}, {}});
    }
  }
}

}  // namespace

void PrintCsv(const PassResults& res, std::ostream& out) {
  CsvTable table(res, out);
  for (const std::string& warning : res.input.warnings) table.AddWarning(warning);
  table.AddCount("objects", res.input.objects);
  table.AddCount("complete_objects", res.input.completeObjects);
  table.AddCount("missing_ratings", res.input.missingRatings);
  if (res.analysed) Kappas(res, table);
  if (res.coefficients.present) Coefficients(res.coefficients, table);
  if (res.analysed) Model(res, table);
}

}  // namespace zover
