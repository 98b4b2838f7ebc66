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
  if (hasSe && std::isfinite(estimate) && std::isfinite(se)) {
    const auto [low, high] = ConfidenceInterval95(estimate, se);
    j["ci95"] = {Number(low), Number(high)};
  } else {
    j["ci95"] = nullptr;
  }
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
  j["objects"] = static_cast<long long>(res.n);
  j["raters"] = res.R;
  j["classes"] = res.K;
  j["rater_names"] = res.input.raterNames.empty() ? Json(nullptr) : Json(res.input.raterNames);
  return j;
}

Json Kappas(const PassResults& res) {
  Json j;
  Json hubert;
  hubert["label"] = res.R == 2 ? "Cohen's kappa" : "Hubert's kappa";
  hubert.update(WithError(res.hubert.estimate, res.hubert.se, res.hubert.hasSe));
  j["hubert"] = hubert;
  if (res.hasFleiss) j["fleiss"] = WithError(res.fleiss.estimate, res.fleiss.se);
  if (res.hasH2) j["h2"] = {{"estimate", Number(res.h2)}};
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
  const ModelMeasures& m = model.first;
  const bool minusInfinity = model.report == Report::kMinusInfinity;
  for (int i = 0; i < res.K; ++i) {
    Json row;
    row["class"] = i + 1;
    if (minusInfinity) {
      const bool marked = i == model.t;
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
  if (minusInfinity) j["minus_infinity_class"] = model.t + 1;
  j["classes"] = classes;
  return j;
}

Json Final(const PassResults& res) {
  const ModelResults& model = res.model;
  const ModelMeasures& m = FinalMeasures(model);
  Json classes = Json::array();
  for (int i = 0; i < res.K; ++i) {
    classes.push_back({{"class", i + 1},
                       {"consistency", WithError(m.consistency[i], std::sqrt(model.var_cons[i]))},
                       {"agreement", WithError(m.agreement[i], std::sqrt(model.var_alp[i]))},
                       {"chance", Chance(m.pi, i, res.R, false)}});
  }
  return {{"overall", WithError(m.overall, std::sqrt(model.var_suc))}, {"classes", classes}};
}

Json Model(const PassResults& res) {
  const ModelResults& model = res.model;
  Json j;
  j["report"] = ReportName(model.report);
  j["B"] = Number(model.B);
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
  j["raw_agreement"] = Number(res.raw);
  j["kappa"] = Kappas(res);
  j["model"] = Model(res);
  out << j.dump(2) << "\n";
}

}  // namespace zover
