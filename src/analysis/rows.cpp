// Every coefficient of an analysis as one row, in one list: its key (the
// CSV's measure, the JSON's key), its label, where it belongs, its values
// and its interval. A new coefficient is one more row here; every output
// shows it.

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "analysis/rows.h"
#include "console/format.h"
#include "output/measures.h"

namespace zover {

namespace {

using Value = std::optional<double>;

// The normal-theory interval at `level`, estimate -/+ z se within the
// measure's range, when both exist.
std::optional<Interval> IntervalOf(Value estimate, Value se, Range range, double level) {
  if (!estimate || !se) return std::nullopt;
  const auto [low, high] = ConfidenceInterval(*estimate, *se, range, level);
  return Interval{low, high, level};
}

// An interval the kappa code computed at `level`.
std::optional<Interval> IntervalOf(const std::optional<std::pair<double, double>>& ci, double level) {
  if (!ci) return std::nullopt;
  return Interval{ci->first, ci->second, level};
}

// A number in a sentence: at most six significant digits.
std::string Compact(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", x);
  return text;
}

std::string ClassName(const Results& res, int cls) {
  const std::string* label = ClassLabel(res, cls - 1);
  return "class " + std::to_string(cls) + (label != nullptr ? " (" + *label + ")" : "");
}

// Appends rows and fills in what they have in common.
class RowList {
 public:
  explicit RowList(Results& res) : res_(res) {}

  ResultRow& Add(const char* key, RowGroup group, std::string label, unsigned fields) {
    ResultRow& row = res_.rows.emplace_back();
    row.key = key;
    row.group = group;
    row.label = std::move(label);
    row.fields = fields;
    return row;
  }

  // A coefficient with Gwet's standard error: estimate, SE, interval, z, p.
  ResultRow& Add(const char* key, RowGroup group, std::string label, const Inference& g) {
    ResultRow& row = Add(key, group, std::move(label), kFieldSe | kFieldCi | kFieldZ | kFieldP);
    row.estimate = g.estimate;
    row.se = g.se;
    row.ci = IntervalOf(g.ci, res_.level);
    row.z = g.z;
    row.p = g.p;
    row.reason = g.reason;
    row.objectsUsed = g.objectsUsed;
    return row;
  }

  // A weighted form under its unweighted row.
  ResultRow& Weighted(const char* key, const char* parent, RowGroup group, std::string name, const Inference& g,
                      WeightScheme weights, const char* under = nullptr) {
    ResultRow& row = Add(key, group, name + " (" + WeightSchemeName(weights) + ")", g);
    row.parent = parent;
    row.weights = weights;
    row.shortLabel = under != nullptr ? std::string("weighted: ") + under : "weighted";
    return row;
  }

 private:
  Results& res_;
};

// Why Hubert's kappa or H2 is not a number: their chance agreement is 1 only
// when every rater put every object in one and the same class.
std::string KappaReason(const Results& res) {
  return res.raw == 1 ? "every rating is in one class" : "the kappa is not a number";
}

void TestedAgainstChance(ResultRow& row, const NullTest& t) {
  row.fields |= kFieldSe0 | kFieldZ | kFieldP;
  row.se0 = t.se0;
  row.z = t.z;
  row.p = t.p;
}

// The kappas of the dialogue's report, with their tests against chance when
// the ratings are observed.
void KappaRows(const Coefficients& c, Results& res, RowList& list) {
  ResultRow& raw = list.Add("raw_agreement", RowGroup::kAgreement, "Raw agreement (objects on which all raters agree)", 0);
  raw.estimate = Finite(res.raw);
  raw.objectsUsed = res.n;

  const KappaEstimate& h = res.hubert;
  ResultRow& hubert = list.Add("hubert_kappa", RowGroup::kKappa, res.R == 2 ? "Cohen's kappa" : "Hubert's kappa",
                               kFieldLabel | kFieldSe | kFieldCi);
  hubert.jsonKey = "hubert";
  hubert.estimate = Finite(h.estimate);
  if (h.hasSe) hubert.se = Finite(h.se);
  hubert.ci = IntervalOf(hubert.estimate, hubert.se, h.range, res.level);
  hubert.objectsUsed = h.objectsUsed;
  if (!hubert.estimate) hubert.reason = KappaReason(res);
  if (c.hasCohen) {
    TestedAgainstChance(hubert, c.cohen);
    hubert.reason = c.cohen.reason;
  }

  if (res.hasFleiss) {
    ResultRow& fleiss = list.Add("fleiss_kappa", RowGroup::kKappa, "Fleiss' kappa", kFieldSe | kFieldCi);
    fleiss.jsonKey = "fleiss";
    fleiss.estimate = Finite(res.fleiss.estimate);
    fleiss.se = Finite(res.fleiss.se);
    fleiss.ci = IntervalOf(fleiss.estimate, fleiss.se, res.fleiss.range, res.level);
    fleiss.objectsUsed = res.fleiss.objectsUsed;
    if (res.observed) {
      TestedAgainstChance(fleiss, c.fleiss.kappa);
      fleiss.reason = c.fleiss.kappa.reason;
      for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
        const NullTest& t = c.fleiss.perClass[k];
        const int cls = static_cast<int>(k + 1);
        ResultRow& row = list.Add("fleiss_kappa_class", RowGroup::kKappa, "Fleiss' kappa, " + ClassName(res, cls), 0);
        row.jsonKey = "per_class";
        row.parent = "fleiss_kappa";
        row.shortLabel = ClassName(res, cls);
        row.cls = cls;
        row.estimate = t.estimate;
        row.objectsUsed = t.objectsUsed;
        TestedAgainstChance(row, t);
        row.reason = t.reason;
      }
    }
  }
  if (res.hasH2) {
    ResultRow& h2 = list.Add("h2", RowGroup::kKappa, "H2 (Hubert's pairwise kappa)", 0);
    h2.estimate = Finite(res.h2);
    h2.objectsUsed = res.n;
    if (!h2.estimate) h2.reason = KappaReason(res);
  }
}

// A Cohen's kappa with its null standard error, from which its z and p come.
ResultRow& AddTested(RowList& list, const char* key, RowGroup group, std::string label, const WeightedKappa& k) {
  ResultRow& row = list.Add(key, group, std::move(label), k.kappa);
  row.fields |= kFieldSe0;
  row.se0 = k.se0;
  return row;
}

// A rater as the labels name it: its name, or its number from 1.
std::string RaterText(const Results& res, int g) {
  const std::string* name = RaterName(res, g);
  return name != nullptr ? *name : std::to_string(g + 1);
}

// Conger's kappa (next to H2, which it equals without missing ratings),
// Light's kappa of three raters or more and Scott's pi of two, with their
// weighted forms below them.
void RaterKappaRows(const Coefficients& c, Results& res, RowList& list) {
  const RaterCoefficients& r = c.raters;
  const WeightScheme w = res.ordered.weights;
  list.Add("conger_kappa", RowGroup::kRaterKappa, "Conger's kappa", r.conger);
  if (r.weighted) list.Weighted("conger_kappa_weighted", "conger_kappa", RowGroup::kRaterKappa, "Conger's kappa", r.d.conger, w);
  if (res.R >= 3) {
    const LightKappa& light = r.d.light;
    ResultRow& row = list.Add("light_kappa", RowGroup::kRaterKappa, "Light's kappa",
                              kFieldCi);
    row.estimate = light.kappa.value;
    row.ci = IntervalOf(light.ci95, res.level);
    row.reason = !light.kappa.reason.empty() ? light.kappa.reason : light.ciReason;
    if (row.estimate) row.objectsUsed = r.lightObjects;
  }
  if (r.d.hasScott) {
    list.Add("scott_pi", RowGroup::kRaterKappa, "Scott's pi", r.scott);
    if (r.weighted) list.Weighted("scott_pi_weighted", "scott_pi", RowGroup::kRaterKappa, "Scott's pi", r.d.scott, w);
  }
}

// Every pair of raters: its agreement, its Cohen's kappa and, with weights,
// its weighted kappa; then every rater: its agreement and Cohen's kappa with
// the others' leading class, and Fleiss' kappa of the others without it.
void PairAndRaterRows(const Coefficients& c, Results& res, RowList& list) {
  const DisagreementResults& d = c.raters.d;
  const WeightScheme w = res.ordered.weights;
  for (std::size_t p = 0; p < d.pairs.pairs.size(); ++p) {
    const PairResult& pair = d.pairs.pairs[p];
    const std::string name = "Raters " + RaterText(res, pair.rater) + " and " + RaterText(res, pair.rater2);
    const auto mark = [&pair](ResultRow& row) {
      row.rater = pair.rater + 1;
      row.rater2 = pair.rater2 + 1;
      row.objectsUsed = pair.objects;
    };
    ResultRow& agreement = list.Add("pair_agreement", RowGroup::kPair, name + ": percent agreement", 0);
    mark(agreement);
    agreement.jsonKey = "agreement";
    agreement.estimate = pair.agreement;
    if (!pair.agreement) agreement.reason = pair.cohen.kappa.reason;
    ResultRow& kappa = AddTested(list, "pair_cohen_kappa", RowGroup::kPair, name + ": Cohen's kappa", pair.cohen);
    mark(kappa);
    kappa.jsonKey = "cohen_kappa";
    if (!d.pairs.weighted.empty()) {
      ResultRow& row = AddTested(list, "pair_cohen_kappa_weighted", RowGroup::kPair,
                                 name + ": Cohen's kappa (" + WeightSchemeName(w) + ")", d.pairs.weighted[p]);
      mark(row);
      row.jsonKey = "cohen_kappa_weighted";
      row.parent = "pair_cohen_kappa";
      row.weights = w;
      row.shortLabel = std::string("weighted (") + WeightSchemeName(w) + ")";
    }
  }
  for (const RaterSummary& rater : d.raters) {
    const std::string name = "Rater " + RaterText(res, rater.rater);
    const int number = rater.rater + 1;
    ResultRow& agreement =
        list.Add("rater_leading_agreement", RowGroup::kRater, name + ": agreement with the others' leading class", 0);
    agreement.rater = number;
    agreement.jsonKey = "leading_agreement";
    agreement.estimate = rater.majorityAgreement;
    agreement.objectsUsed = rater.majorityObjects;
    if (!rater.majorityAgreement) agreement.reason = rater.majorityKappa.kappa.reason;
    ResultRow& kappa = AddTested(list, "rater_leading_kappa", RowGroup::kRater,
                                 name + ": Cohen's kappa with the others' leading class", rater.majorityKappa);
    kappa.rater = number;
    kappa.jsonKey = "leading_kappa";
    kappa.objectsUsed = rater.majorityObjects;
    ResultRow& without = list.Add("rater_others_fleiss_kappa", RowGroup::kRater,
                                  name + ": Fleiss' kappa of the others without it", rater.fleissWithout);
    without.rater = number;
    without.jsonKey = "others_fleiss_kappa";
  }
}

// Gwet's family and Krippendorff's alpha, then the coefficients of ordered
// classes that were asked for.
void CoefficientRows(const Coefficients& c, Results& res, RowList& list) {
  const AgreementCoefficients& all = c.all;
  list.Add("percent_agreement", RowGroup::kGwet, "Percent agreement", all.percentAgreement);
  list.Add("brennan_prediger", RowGroup::kGwet, "Brennan-Prediger", all.brennanPrediger);
  list.Add("gwet_ac1", RowGroup::kGwet, "Gwet's AC1", all.gwetAc1);
  list.Add("fleiss_general", RowGroup::kGwet, "Fleiss' kappa (Gwet's form)", all.fleissGeneral);

  const OrderedCoefficients& ordered = c.ordered;
  const LeveledAlpha* nominal = nullptr;
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) nominal = &a;
  }
  ResultRow& alpha = list.Add("krippendorff_alpha", RowGroup::kAlpha, "Krippendorff's alpha", nominal != nullptr ? unsigned{kFieldCi} : 0u);
  alpha.estimate = all.krippendorffAlpha.value;
  alpha.reason = all.krippendorffAlpha.reason;
  alpha.objectsUsed = all.krippendorffAlpha.objectsUsed;
  if (nominal != nullptr) alpha.ci = IntervalOf(nominal->ci, res.level);

  const WeightScheme w = res.ordered.weights;
  if (ordered.hasCohen) {
    ResultRow& row = list.Weighted("cohen_kappa_weighted", "hubert_kappa", RowGroup::kKappa, "Cohen's kappa",
                                   ordered.cohen.kappa, w);
    row.fields |= kFieldSe0;
    row.se0 = ordered.cohen.se0;
  }
  if (ordered.weighted) {
    const WeightedAgreement& g = ordered.gwet;
    list.Weighted("percent_agreement_weighted", "percent_agreement", RowGroup::kGwet, "Percent agreement",
                  g.percentAgreement, w);
    list.Weighted("brennan_prediger_weighted", "brennan_prediger", RowGroup::kGwet, "Brennan-Prediger",
                  g.brennanPrediger, w);
    list.Weighted("gwet_ac2", "gwet_ac1", RowGroup::kGwet, "Gwet's AC2", g.gwetAc2, w, "Gwet's AC2");
    list.Weighted("fleiss_general_weighted", "fleiss_general", RowGroup::kGwet, "Fleiss, Gwet's form",
                  g.fleissGeneral, w);
  }
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) continue;
    const std::string level = AlphaLevelName(a.level);
    const std::string key = "krippendorff_alpha_" + level;
    ResultRow& row = list.Add(key.c_str(), RowGroup::kAlpha, "Krippendorff's alpha, " + level, kFieldCi);
    row.parent = "krippendorff_alpha";
    row.shortLabel = level;
    row.estimate = a.alpha.value;
    row.ci = IntervalOf(a.ci, res.level);
    row.reason = a.alpha.reason;
    row.objectsUsed = a.alpha.objectsUsed;
  }
}

// Why the model's overall agreement is not to be read as it stands: a refit
// whose pseudo-objects are more than a quarter of the objects (so that they
// move its estimates by more than a fifth) describes the increments more than
// the raters (doc/statistics.md, "When to distrust a refit"), and a fit whose
// equation for B is flat may print a wrong 4th decimal.
std::string ModelCaution(const Results& res) {
  const ModelResults& model = res.model;
  const bool refit = model.refit && &FinalMeasures(model) == &*model.refit;
  std::string caution;
  if (refit && model.pseudoObjects > res.n / 4) {
    caution = Format("a refit on %.0lf objects and %s pseudo-objects, which describes the increments more than the "
                     "raters: read the first fit and the kappas",
                     {res.n, Compact(model.pseudoObjects)});
  }
  if (!model.stable) {
    caution += std::string(caution.empty() ? "" : "; ") +
               Format("the fit is unstable (B moves by %s with one rounding of the data): its 4th decimal is not sure",
                      {Compact(model.spread)});
  }
  return caution;
}

// The model's final table: the overall agreement, then per class its
// agreement and consistency, each with its standard error.
void ModelRows(Results& res, RowList& list) {
  const ModelResults& model = res.model;
  const ModelFit& m = FinalMeasures(model);
  const auto measure = [&](const char* key, std::string label, int cls, double estimate, double se) {
    ResultRow& row = list.Add(key, RowGroup::kModel, std::move(label), kFieldSe | kFieldCi);
    row.cls = cls;
    row.estimate = Finite(estimate);
    row.se = Finite(se);
    row.ci = IntervalOf(row.estimate, row.se, kModelRange, res.level);
    row.objectsUsed = model.objectsUsed;
    if (!row.estimate || !row.se) row.reason = model.reason;
    return &row;
  };
  // A refit's overall is the sum of its class agreements, which has the
  // data's sign where 1 - B is rounding noise (K^R/2 pseudo-objects).
  const bool refit = model.refit && &m == &*model.refit;
  ResultRow* overall =
      measure("zover_overall", "Zover overall agreement", 0, refit ? m.overallSum : m.overall, model.overallSe);
  overall->caution = ModelCaution(res);
  if (!overall->caution.empty() && refit) overall->instead = Finite(model.first.overall);
  for (int i = 0; i < res.K; ++i) {
    const int cls = i + 1;
    measure("zover_agreement", "Zover agreement, " + ClassName(res, cls), cls, m.agreement[i], model.agreementSe[i])
        ->shortLabel = ClassName(res, cls);
    measure("zover_consistency", "Zover consistency, " + ClassName(res, cls), cls, m.consistency[i],
            model.consistencySe[i])
        ->shortLabel = ClassName(res, cls);
  }
}

}  // namespace

void BuildRows(const Coefficients& c, Results& res) {
  res.rows.clear();
  res.rows.reserve(static_cast<std::size_t>(20 + 3 * res.K) + 3 * c.raters.d.pairs.pairs.size() +
                   3 * c.raters.d.raters.size());
  RowList list(res);
  if (res.analysed) KappaRows(c, res, list);
  if (c.raters.computed) RaterKappaRows(c, res, list);
  if (res.observed) CoefficientRows(c, res, list);
  if (res.analysed) ModelRows(res, list);
  if (c.raters.computed) PairAndRaterRows(c, res, list);
}

}  // namespace zover
