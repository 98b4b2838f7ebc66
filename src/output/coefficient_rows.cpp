#include "output/coefficient_rows.h"

#include <cmath>

#include "output/measures.h"

namespace zover {

namespace {

// An estimate with its standard error and the interval from it.
CoefficientRow WithError(std::string label, double estimate, std::optional<double> se, Range range, double level) {
  CoefficientRow row;
  row.label = std::move(label);
  row.estimate = Finite(estimate);
  if (se) row.se = Finite(*se);
  row.ci95 = NormalInterval(row.estimate, row.se, range, level);
  return row;
}

void TestedAgainstChance(CoefficientRow& row, const NullTest& t) {
  row.se0 = t.se0;
  row.z = t.z;
  row.p = t.p;
  if (row.reason.empty()) row.reason = t.reason;
}

CoefficientRow FromInference(std::string label, const Inference& g) {
  return {std::move(label), 0, g.estimate, g.se, g.ci, std::nullopt, g.z, g.p, g.reason};
}

CoefficientRow EstimateOnly(std::string label, std::optional<double> estimate, std::string reason) {
  CoefficientRow row;
  row.label = std::move(label);
  row.estimate = estimate ? Finite(*estimate) : std::nullopt;
  row.reason = std::move(reason);
  return row;
}

std::string ClassName(const PassResults& res, int i) {
  const std::string* label = ClassLabel(res, i);
  return "class " + std::to_string(i + 1) + (label != nullptr ? " (" + *label + ")" : "");
}

// The rows of ordered classes, when they were asked for: the weighted forms
// (their weights in brackets) after the nominal ones, then alpha by level with its bootstrap interval
// (the nominal alpha's interval goes to the nominal row).
void AddOrderedRows(const OrderedResults& ordered, std::vector<CoefficientRow>& rows) {
  const auto bootstrapped = [](CoefficientRow& row, const LeveledAlpha& a) {
    if (row.estimate && a.ci) row.ci95 = a.ci;
  };
  if (const LeveledAlpha* nominal = NominalAlpha(ordered)) bootstrapped(rows.back(), *nominal);
  const std::string weights = " (" + std::string(WeightSchemeName(ordered.weights)) + ")";
  if (ordered.hasCohen) {
    rows.push_back(FromInference("Cohen's kappa" + weights, ordered.cohen.kappa));
    rows.back().se0 = ordered.cohen.se0;
  }
  if (ordered.weights != WeightScheme::kIdentity) {
    rows.push_back(FromInference("Percent agreement" + weights, ordered.gwet.percentAgreement));
    rows.push_back(FromInference("Brennan-Prediger" + weights, ordered.gwet.brennanPrediger));
    rows.push_back(FromInference("Gwet's AC2" + weights, ordered.gwet.gwetAc2));
    rows.push_back(FromInference("Fleiss, Gwet's form" + weights, ordered.gwet.fleissGeneral));
  }
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) continue;
    rows.push_back(EstimateOnly("Krippendorff's alpha, " + std::string(AlphaLevelName(a.level)),
                                a.alpha.value, a.alpha.reason));
    bootstrapped(rows.back(), a);
  }
}

}  // namespace

std::vector<CoefficientRow> CoefficientRows(const PassResults& res) {
  std::vector<CoefficientRow> rows;
  const CoefficientResults& c = res.coefficients;
  if (res.analysed) {
    const KappaEstimate& h = res.hubert;
    rows.push_back(WithError(res.R == 2 ? "Cohen's kappa" : "Hubert's kappa", h.estimate,
                             h.hasSe ? std::optional<double>(h.se) : std::nullopt, h.range, res.level));
    if (!rows.back().estimate) rows.back().reason = h.reason;
    if (c.hasCohen) TestedAgainstChance(rows.back(), c.cohen);
    if (res.hasFleiss) {
      rows.push_back(WithError("Fleiss' kappa", res.fleiss.estimate, res.fleiss.se, res.fleiss.range, res.level));
      if (c.present) TestedAgainstChance(rows.back(), c.fleiss.kappa);
    }
    if (res.hasFleiss && c.present) {
      for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
        const NullTest& t = c.fleiss.perClass[k];
        rows.push_back(EstimateOnly("Fleiss' kappa, " + ClassName(res, static_cast<int>(k)), t.estimate, ""));
        rows.back().cls = static_cast<int>(k + 1);
        TestedAgainstChance(rows.back(), t);
      }
    }
    if (res.hasH2) rows.push_back(EstimateOnly("H2 (Hubert's pairwise kappa)", res.h2, res.h2Reason));
  }
  if (c.present) {
    const AgreementCoefficients& all = c.all;
    rows.push_back(FromInference("Percent agreement", all.percentAgreement));
    rows.push_back(FromInference("Brennan-Prediger", all.brennanPrediger));
    rows.push_back(FromInference("Gwet's AC1", all.gwetAc1));
    rows.push_back(FromInference("Fleiss' kappa (Gwet's form)", all.fleissGeneral));
    rows.push_back(EstimateOnly("Krippendorff's alpha", all.krippendorffAlpha.value, all.krippendorffAlpha.reason));
    AddOrderedRows(c.ordered, rows);
  }
  if (res.analysed) {
    const ModelResults& model = res.model;
    rows.push_back(WithError("Zover overall agreement", FinalMeasures(model).overall, model.overallSe,
                             kModelRange, res.level));
    if (!rows.back().estimate || !rows.back().se) rows.back().reason = model.reason;
  }
  return rows;
}

}  // namespace zover
