// The batch command's JSON: one object with the input, the raw agreement,
// the kappa coefficients and the model (first fit and final table). Numbers
// are written at full precision (the shortest text that reads back to the
// same double); a value that is not finite, or that the report shows as no
// number, is null.

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>

#include "output/batch_output.h"
#include "output/measures.h"

namespace zover {

namespace {

using Json = nlohmann::ordered_json;

Json Number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

// An estimate with its standard error and 95 % interval (null where the
// standard error is not finite or missing).
Json WithError(double estimate, double se, bool hasSe = true) {
  Json j;
  j["estimate"] = Number(estimate);
  j["se"] = hasSe ? Number(se) : Json(nullptr);
  const auto interval = hasSe ? Interval95(estimate, se) : std::nullopt;
  j["ci95"] = interval ? Json{Number(interval->first), Number(interval->second)} : Json(nullptr);
  return j;
}

Json Optional(const std::optional<double>& x) { return x ? Number(*x) : Json(nullptr); }

// A reason is given where a value is null for a cause other than the data
// being what they are.
void AddReason(Json& j, const std::string& reason) {
  if (!reason.empty()) j["reason"] = reason;
}

Json NullTestFields(Json j, const NullTest& t) {
  j["se0"] = Optional(t.se0);
  j["z"] = Optional(t.z);
  j["p"] = Optional(t.p);
  AddReason(j, t.reason);
  return j;
}

Json Chance(const Grid<double>& pi, int i, int R, bool zeroIsNone) {
  Json row = Json::array();
  for (int r = 0; r < R; ++r) row.push_back(zeroIsNone && pi[i][r] == 0.0 ? Json(nullptr) : Number(pi[i][r]));
  return row;
}

Json Input(const PassResults& res) {
  Json j;
  j["file"] = res.input.file;
  j["layout"] = res.input.layout;
  j["objects"] = static_cast<long long>(res.input.objects);
  j["raters"] = res.R;
  j["classes"] = res.K;
  j["rater_names"] = res.input.raterNames.empty() ? Json(nullptr) : Json(res.input.raterNames);
  j["complete_objects"] = static_cast<long long>(res.input.completeObjects);
  j["missing_ratings"] = static_cast<long long>(res.input.missingRatings);
  return j;
}

// The kappas; with observed data, Cohen's and Fleiss' kappas are tested
// against chance (se0, and z and p from it) and Fleiss' kappa per class.
Json Kappas(const PassResults& res) {
  const CoefficientResults& c = res.coefficients;
  Json j;
  Json hubert;
  hubert["label"] = res.R == 2 ? "Cohen's kappa" : "Hubert's kappa";
  hubert.update(WithError(res.hubert.estimate, res.hubert.se, res.hubert.hasSe));
  if (c.hasCohen) hubert = NullTestFields(hubert, c.cohen);
  j["hubert"] = hubert;
  if (res.hasFleiss) {
    Json fleiss = WithError(res.fleiss.estimate, res.fleiss.se);
    if (c.present) {
      fleiss = NullTestFields(fleiss, c.fleiss.kappa);
      Json perClass = Json::array();
      for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
        const NullTest& t = c.fleiss.perClass[k];
        perClass.push_back(NullTestFields({{"class", k + 1}, {"estimate", Optional(t.estimate)}}, t));
      }
      fleiss["per_class"] = perClass;
    }
    j["fleiss"] = fleiss;
  }
  if (res.hasH2) j["h2"] = {{"estimate", Number(res.h2)}};
  return j;
}

Json Coefficient(const Inference& g) {
  Json j;
  j["estimate"] = Optional(g.estimate);
  j["se"] = Optional(g.se);
  j["ci95"] = g.ci95 ? Json{Number(g.ci95->first), Number(g.ci95->second)} : Json(nullptr);
  j["z"] = Optional(g.z);
  j["p"] = Optional(g.p);
  AddReason(j, g.reason);
  return j;
}

Json Coefficients(const AgreementCoefficients& all) {
  Json j;
  j["percent_agreement"] = Coefficient(all.percentAgreement);
  j["brennan_prediger"] = Coefficient(all.brennanPrediger);
  j["gwet_ac1"] = Coefficient(all.gwetAc1);
  j["fleiss_general"] = Coefficient(all.fleissGeneral);
  Json alpha = {{"estimate", Optional(all.krippendorffAlpha.value)}};
  AddReason(alpha, all.krippendorffAlpha.reason);
  j["krippendorff_alpha"] = alpha;
  return j;
}

// The table printed without standard errors, as the report shows it: the
// three-class fit of the two-raters-two-classes case; otherwise the first
// fit, with the indeterminate probabilities and the minus-infinity class as
// null.
Json FirstFit(const PassResults& res) {
  const ModelResults& model = res.model;
  Json classes = Json::array();
  if (model.report == Report::kTwoByTwo) {
    for (int i = 0; i < 3; ++i) {
      classes.push_back({{"class", i + 1},
                         {"agreement", Number(model.agreementesp[i])},
                         {"chance", Chance(model.piesp, i, res.R, false)}});
    }
    return {{"overall", Number(model.overallesp)}, {"classes", classes}};
  }
  const ModelFit& m = model.first;
  const bool minusInfinity = model.report == Report::kMinusInfinity;
  for (int i = 0; i < res.K; ++i) {
    Json row;
    row["class"] = i + 1;
    if (minusInfinity) {
      const bool marked = i == model.first.t;
      row["consistency"] = marked ? Json(nullptr) : Number(m.consistency[i]);
      row["agreement"] = marked ? Json(nullptr) : Number(m.agreement[i]);
      row["chance"] = Json(std::vector<double>(static_cast<std::size_t>(res.R), marked ? 1.0 : 0.0));
    } else {
      row["consistency"] = Number(m.consistency[i]);
      row["agreement"] = Number(m.agreement[i]);
      row["chance"] = Chance(m.pi, i, res.R, model.report == Report::kIndeterminate);
    }
    classes.push_back(row);
  }
  Json j;
  j["overall"] = minusInfinity ? Json(nullptr) : Number(m.overall);
  if (minusInfinity) j["minus_infinity_class"] = model.first.t + 1;
  j["classes"] = classes;
  return j;
}

Json Final(const PassResults& res) {
  const ModelResults& model = res.model;
  const ModelFit& m = FinalMeasures(model);
  Json classes = Json::array();
  for (int i = 0; i < res.K; ++i) {
    classes.push_back({{"class", i + 1},
                       {"consistency", WithError(m.consistency[i], model.consistencySe[i])},
                       {"agreement", WithError(m.agreement[i], model.agreementSe[i])},
                       {"chance", Chance(m.pi, i, res.R, false)}});
  }
  return {{"overall", WithError(m.overall, model.overallSe)}, {"classes", classes}};
}

Json Model(const PassResults& res) {
  const ModelResults& model = res.model;
  Json j;
  j["report"] = ReportName(model.report);
  j["B"] = Number(model.first.B);
  j["increment"] = model.increment;
  j["pseudo_objects"] = Number(model.pseudoObjects);
  if (PrintsFirstFit(model.report)) j["first_fit"] = FirstFit(res);
  j["final"] = Final(res);
  return j;
}

}  // namespace

void PrintJson(const PassResults& res, std::ostream& out) {
  Json j;
  j["zover"] = "1.3";
  j["input"] = Input(res);
  if (res.analysed) {
    j["raw_agreement"] = Number(res.raw);
    j["kappa"] = Kappas(res);
    j["model"] = Model(res);
  } else {
    j["raw_agreement"] = nullptr;
    j["kappa"] = nullptr;
    j["model"] = nullptr;
    j["not_analysed"] = res.notAnalysed;
  }
  if (res.coefficients.present) j["coefficients"] = Coefficients(res.coefficients.all);
  out << j.dump(2) << "\n";
}

}  // namespace zover
