// The analysis of a data set: the fit of the Zover model with its special
// cases and standard errors, the raw agreement, the kappa coefficients and
// the choice of the model report; then, for observed ratings, the
// coefficients beside the kappas and those of ordered classes. Nothing here
// prints.

#include <cmath>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/rows.h"
#include "tables/tasks.h"
#include "kappa/coefficients.h"
#include "kappa/kappa.h"
#include "kappa/ordered.h"
#include "kappa/pairs.h"
#include "model/model.h"

namespace zover {

namespace {

constexpr double kMinCompleteObjects = 2;
static_assert(Request::kDefaultPairs == kDefaultMaxPairs, "the door's default is the kappa code's");

// The most cells of the pairs' tables that the results hold for the
// outputs: 4950 pairs of 100 raters over 29 classes, 499500 of 1000 raters
// over 2. Beyond, the tables are left out of the outputs (the pairs'
// kappas stay): their JSON would pass a hundred megabytes.
constexpr std::size_t kMaxListedCells = std::size_t{1} << 22;

// The proportion of the entered objects on which all raters agree. The count
// is truncated after every addition, so fractional agreements typed in mode
// 4 count only in whole objects (2.5 and 3.5 give 5).
double RawAgreement(const ObservedData& data) {
  double count = 0;
  for (int i = 0; i < data.K; ++i) count = std::trunc(count + data.successaux[i]);
  return count / data.Norg;
}

// The model, the raw agreement and the kappas of the objects that every
// rater rated.
void FitAndKappas(const ObservedData& data, KappaTables& kappaTables, Results& res) {
  ModelTables modelTables;
  res.model = FitModel(data, modelTables);
  res.raw = RawAgreement(data);
  const KappaResults kappas = Kappas(data, kappaTables);
  res.hubert = kappas.hubert;
  res.hasFleiss = kappas.hasFleiss;
  res.fleiss = kappas.fleiss;
  res.hasH2 = kappas.hasH2;
  res.h2 = kappas.h2;
  // Hubert's kappa has no number only when its chance agreement is 1, that
  // is when every rater put every object in one and the same class; the
  // model's final table only when the refit's increased data (K^R/2
  // pseudo-objects) pass what a double holds.
  if (!std::isfinite(res.hubert.estimate)) {
    res.hubert.reason = res.raw == 1 ? "every rating is in one class" : "the kappa is not a number";
  }
  res.model.reason = res.model.pseudoObjects > 0 ? "the increased data of the refit are too large for a double"
                                                 : "the model gives no number for these data";
}

// The tests of the kappas against chance, which FitAndKappas' kappas and
// tables are for, with every rating, the objects with missing ratings
// included.
void AddNullTests(const ObservedData& data, const KappaTables& kappaTables, const Results& res, Coefficients& c) {
  const PatternSource patterns = RatingPatterns(data);
  // z and p test the Fleiss' kappa that the report prints.
  c.fleiss = ComputeFleissNullTests(patterns, res.K, res.R,
                                    res.analysed ? std::optional<double>(res.fleiss.estimate) : std::nullopt);
  if (res.R == 2 && res.analysed) {
    const Grid<double>& t_indice = kappaTables.t_indice;
    std::vector<double> first(static_cast<std::size_t>(res.K)), second(first.size());
    for (int i = 0; i < res.K; ++i) {
      first[i] = t_indice[i][0];
      second[i] = t_indice[i][1];
    }
    c.hasCohen = true;
    c.cohen = CohenNullTest(first, second, data.Norg, res.hubert.estimate);
  }
}

// What `request` asks of ordered classes, into res.ordered: the weights of
// the class values and Krippendorff's alpha's levels.
void SettleOrdered(const Request& request, Results& res) {
  if (request.weights == WeightScheme::kIdentity && request.levels.empty()) return;
  OrderedSettings& settings = res.ordered;
  settings.asked = true;
  settings.weights = request.weights;
  settings.classValues = ClassValues(res.input.classValues, res.K);
  settings.levels = request.levels;
  settings.bootstrapSamples = request.levels.empty() ? 0 : request.samples;
  settings.seed = request.seed;
  settings.bootstrapMethod = request.method;
  if (request.weights != WeightScheme::kIdentity) {
    settings.weightMatrix = WeightMatrix(request.weights, settings.classValues);
  }
}

// The coefficients of ordered classes that res.ordered asks for: the
// weighted coefficients with the weights of the class values (Cohen's for
// two raters), and Krippendorff's alpha at each level. The Zover model and
// the kappas treat the classes as nominal whatever is asked here.
void AddOrderedCoefficients(const ObservedData& data, const Request& request, const Results& res,
                            OrderedCoefficients& ordered) {
  const OrderedSettings& settings = res.ordered;
  if (!settings.asked) return;
  const PatternSource patterns = RatingPatterns(data);
  if (request.weights != WeightScheme::kIdentity) {
    ordered.weighted = true;
    ordered.gwet = ComputeWeightedCoefficients(patterns, settings.weightMatrix, res.level);
    ordered.hasCohen = res.R == 2;
    if (ordered.hasCohen && res.analysed) {
      ordered.cohen = WeightedCohenKappa(CrossTable(data.frec, res.K), settings.weightMatrix, res.level);
    } else if (ordered.hasCohen) {
      ordered.cohen.kappa.reason = res.notAnalysed;
    }
  }
  if (!request.levels.empty()) {
    ordered.alphas = ComputeLeveledAlphas(patterns, settings.classValues, request.levels,
                                          {settings.bootstrapSamples, request.seed, request.method, res.level});
  }
}

// Who disagrees, in three parts that read the tuples apart from each other
// and from the rest of the analysis, so that on large data each can run on
// a thread of its own: the pairs (their kappas, Light's kappa, Scott's pi)
// with the objects; each rater; Conger's kappa, weighted as asked and, with
// weights, unweighted too.
struct Disagreement {
  DisagreementResults d;  // without raters and conger
  std::vector<RaterSummary> raters;
  Inference conger;
  Inference unweightedConger;
};

// The threads `request` allows: one per core unless it says.
unsigned AllowedThreads(const Request& request) {
  return request.threads > 0 ? static_cast<unsigned>(request.threads) : std::thread::hardware_concurrency();
}

// What who disagrees is asked for: the weights of res.ordered, the pairs,
// Light's bootstrap (on the threads `request` allows) and the level of
// `request`.
DisagreementRequest DisagreementAsked(const Request& request, const Results& res) {
  DisagreementRequest asked;
  asked.weights = res.ordered.weightMatrix;  // empty without weights
  asked.maxPairs = request.maxPairs;
  asked.samples = request.samples;
  asked.seed = request.seed;
  asked.level = request.level;
  asked.raterParts = false;  // tasks of their own
  asked.threads = AllowedThreads(request);
  return asked;
}

// The response tuples (with and without missing ratings) from which more
// threads pay for themselves: below, the analysis takes about as long as
// starting a thread.
constexpr std::size_t kThreadedTuples = std::size_t{1} << 14;

unsigned Threads(const Request& request, const ObservedData& data) {
  return data.frec.size() + data.incompleteTuples.size() < kThreadedTuples ? 1 : AllowedThreads(request);
}

// Who disagrees, and on what, as `computed` found it: every pair of raters
// (up to request.maxPairs pairs), Light's kappa, Conger's kappa and Scott's
// pi (unweighted and, with weights, weighted), each rater, and the
// adjudication list of the objects the reader kept. The pairs' tables, the
// raters' class distributions and the objects go to the results' record.
void AddRaterCoefficients(const ObservedData& data, const Request& request, const Coefficients& c,
                          Disagreement&& computed, Results& res, RaterCoefficients& out) {
  out.computed = true;
  out.d = std::move(computed.d);
  DisagreementResults& d = out.d;
  d.raters = std::move(computed.raters);
  d.conger = computed.conger;
  out.weighted = !res.ordered.weightMatrix.empty();
  if (out.weighted) {
    out.conger = computed.unweightedConger;
    if (d.hasScott && d.pairs.computed) {
      const Grid<double> identity = WeightMatrix(WeightScheme::kIdentity, ClassValues({}, data.K));
      out.scott = ScottPi(PairTable(d.pairs, 0), identity, request.level);
    } else {
      out.scott.reason = d.scott.reason;
    }
  } else {
    out.conger = d.conger;
    out.scott = d.scott;
  }
  // Conger's kappa uses every object that has a rating, as Gwet's family.
  out.conger.objectsUsed = d.conger.objectsUsed = c.all.percentAgreement.objectsUsed;
  const std::size_t pairs = data.R >= 2 ? PairNumber(data.R - 2, data.R - 1, data.R) + 1 : 0;
  if (!d.pairs.computed && pairs > request.maxPairs) {
    d.pairs.reason += " (--pairs)";
    d.light.kappa.reason = d.pairs.reason;
  }
  out.lightObjects = data.Norg;
  for (const auto& [pattern, count] : data.incomplete) {
    int ratings = 0;
    for (const auto& [cls, raters] : pattern) ratings += raters;
    if (ratings >= 2) out.lightObjects += count;
  }

  DisagreementRecord& record = res.disagreement;
  record.computed = true;
  record.pairs = d.pairs.computed;
  record.pairsReason = d.pairs.reason;
  if (d.pairs.computed) {
    if (d.pairs.tables.size() <= kMaxListedCells) {
      record.tables = std::move(d.pairs.tables);
    } else {
      record.tablesReason = "the tables of " + std::to_string(pairs) + " pairs over " + std::to_string(data.K) +
                            " classes have " + std::to_string(d.pairs.tables.size()) + " cells, more than the " +
                            std::to_string(kMaxListedCells) + " that the outputs hold";
    }
    d.pairs.tables = {};
  }
  record.raterOrder = std::move(d.raterOrder);
  const auto R = static_cast<std::size_t>(data.R), K = static_cast<std::size_t>(data.K > 0 ? data.K : 0);
  record.raterObjects.assign(R, 0.0);
  record.raterCounts = Grid<double>(R, K);
  record.raterShares = Grid<double>(R, K);
  for (const RaterSummary& rater : d.raters) {
    const auto g = static_cast<std::size_t>(rater.rater);
    record.raterObjects[g] = rater.objects;
    for (std::size_t k = 0; k < K && k < rater.counts.size(); ++k) {
      record.raterCounts[g][k] = rater.counts[k];
      if (k < rater.shares.size()) record.raterShares[g][k] = rater.shares[k];
    }
  }
  record.lightSamples = d.light.samples;
  record.lightSeed = d.light.seed;
  if (d.objects.kept) record.objects = std::move(d.objects);
}

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kFrequencies: return "frequencies";
    case Layout::kModel: return "model";
    case Layout::kLong: return "long";
    case Layout::kRaw: break;
  }
  return "raw";
}

}  // namespace

Results Analyse(const Dataset& set, const Request& request) {
  const ObservedData& data = set.data;
  Results res;
  res.entrada = data.entrada;
  res.R = data.R;
  res.n = data.Norg;
  res.level = request.level;
  res.analysed = data.Norg >= kMinCompleteObjects;
  res.K = res.analysed ? data.K : data.maxclase;
  double incomplete = 0;
  for (const auto& pattern : data.incomplete) incomplete += pattern.second;
  res.input = {set.name,      LayoutName(set.layout), data.raterNames,   data.Norg + incomplete, data.Norg,
               data.missingRatings, data.classLabels, data.classValues, set.options,
               data.rowNames,       data.warnings};
  res.observed = request.coefficients && set.layout != Layout::kModel;
  DisagreementRequest asked;
  if (res.observed) {
    SettleOrdered(request, res);
    asked = DisagreementAsked(request, res);
  }
  // The three parts of who disagrees; the model, the kappas with their
  // tests and the ordered coefficients; and the coefficients of every
  // rating: five tasks, each on the next free thread. Each reads the
  // tuples apart from the others. The parts of who disagrees, which cost
  // most with many tuples, go first, so that on two threads the last two
  // even out the ends.
  if (!res.analysed) res.notAnalysed = "fewer than 2 objects are rated by every rater";
  KappaTables kappaTables;
  Coefficients c;
  Disagreement disagreement;
  std::vector<std::function<void()>> tasks;
  if (res.observed) {
    tasks.emplace_back([&] { disagreement.raters = ComputeRaterSummaries(data, asked.level); });
    tasks.emplace_back([&] { disagreement.d = ComputeDisagreement(data, asked); });
    tasks.emplace_back([&] {
      const Grid<double> identity = WeightMatrix(WeightScheme::kIdentity, ClassValues({}, data.K));
      disagreement.conger = ComputeCongerKappa(data, asked.weights.empty() ? identity : asked.weights, asked.level);
      if (!asked.weights.empty()) disagreement.unweightedConger = ComputeCongerKappa(data, identity, asked.level);
    });
  }
  tasks.emplace_back([&] {
    if (res.analysed) FitAndKappas(data, kappaTables, res);
    if (res.observed) {
      AddNullTests(data, kappaTables, res, c);
      AddOrderedCoefficients(data, request, res, c.ordered);
    }
  });
  if (res.observed) {
    tasks.emplace_back([&] { c.all = ComputeAgreementCoefficients(RatingPatterns(data), res.K, res.level); });
  }
  RunTasks(tasks, Threads(request, data));
  if (res.observed) AddRaterCoefficients(data, request, c, std::move(disagreement), res, c.raters);
  BuildRows(c, res);
  return res;
}

}  // namespace zover
