#pragma once
// Who disagrees, and on what: the coefficients of every pair of raters,
// Light's and Conger's kappa beside them, Scott's pi of two raters, a summary
// of each rater and of each object. Pure functions of the observed data's
// response tuples (complete and with missing ratings, so a pair uses every
// object that both raters rated) and of the kept objects; nothing here
// prints, and a value that cannot be computed is left empty with the reason.
//
// Classes are 0 .. K-1 in the results (1 .. K in the tuples), raters
// 0 .. R-1. Weights, where a function takes them, are a K x K matrix
// (kappa/ordered.h); an empty matrix means none (the unweighted forms).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tables/grid.h"
#include "kappa/estimates.h"
#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// The pairs are computed for at most this many pairs unless more are asked
// for: 100 raters make 4950 pairs, which take about a second for 10^5
// objects (doc/performance.md); 1000 raters make 499500.
constexpr std::size_t kDefaultMaxPairs = 4950;
// The pairs' tables may hold at most this many cells (4 bytes each: 512
// MiB), whatever is asked for.
constexpr std::size_t kMaxPairCells = std::size_t{1} << 27;
// Light's kappa's bootstrap may take at most this many steps (a tuple added
// to one pair's table, or one cell of the tables cleared and read again):
// a few seconds.
constexpr double kMaxBootstrapWork = 2e9;

// The number of pair (a, b), a < b, among R raters.
inline std::size_t PairIndex(int a, int b, int R) { return PairNumber(a, b, R); }

// Every pair of raters (R >= 2) in one pass over the tuples, O(tuples R^2):
// its objects, agreement, Cohen's kappa (and the weighted kappa with
// `weights`) and its table. Left out, with the reason, when the pairs are
// more than `maxPairs` or their tables more than kMaxPairCells cells.
PairwiseResults ComputePairs(const ObservedData& tb, const Grid<double>& weights,
                             std::size_t maxPairs = kDefaultMaxPairs, double level = kDefaultLevel);

// The K x K table of pair `pair`, as counts.
Grid<double> PairTable(const PairwiseResults& pairs, std::size_t pair);

// Light's kappa from the pairs, with the percentile interval of `samples`
// resamplings (with replacement) of the objects that have two ratings or
// more, the same for the same `seed` (kappa/random.h) whatever `threads`
// count the resamples' tables; each resample costs what ComputePairs does.
// No interval, with the reason, when `samples` resamples would take more
// than `maxWork` steps.
LightKappa ComputeLightKappa(const ObservedData& tb, const PairwiseResults& pairs, long samples, std::uint64_t seed,
                             double maxWork = kMaxBootstrapWork, double level = kDefaultLevel, unsigned threads = 1);

// Conger's kappa (irrCAC's conger.kappa.raw): agreement as in Fleiss' kappa
// on every object with two ratings or more, chance agreement the mean over
// ordered pairs of raters of sum_kl w_kl p_gk p_hl, from each rater's own
// class shares; Gwet's standard error, and z and p from it. Without missing
// ratings and weights it is Hubert's pairwise kappa H2. Two passes over the
// tuples, O(tuples R).
Inference ComputeCongerKappa(const ObservedData& tb, const Grid<double>& weights, double level = kDefaultLevel);

// The raters in an order that puts similar raters side by side, for a
// matrix of the pairs' kappas: average-linkage clustering on the distance
// 1 - kappa (1 for a pair without a kappa), merging the closest clusters
// (the lowest raters first among equal distances) and joining each two at
// their closest ends. O(R^3): empty beyond kMaxOrderedRaters raters, or
// without the pairs.
constexpr int kMaxOrderedRaters = 100;
std::vector<int> SimilarRatersOrder(const PairwiseResults& pairs);

// Scott's pi of a two raters' K x K table of counts (irrCAC's scott2.table),
// with Gwet's standard error, and z and p from it.
Inference ScottPi(const Grid<double>& table, const Grid<double>& weights, double level = kDefaultLevel);

// Each rater's class counts and shares, its agreement and Cohen's kappa with
// the leading class of the others, and Fleiss' kappa (Gwet's form) of the
// others without it. Two passes over the tuples, O(tuples R (K + 1)).
std::vector<RaterSummary> ComputeRaterSummaries(const ObservedData& tb, double level = kDefaultLevel);

// The adjudication list of the kept objects over K classes, most disputed
// first (ObjectResults). O(n R + n log n).
ObjectResults ComputeObjectSummaries(const RatedObjects& objects, int K);

// What a pass asks for.
struct DisagreementRequest {
  Grid<double> weights;                      // empty: unweighted
  std::size_t maxPairs = kDefaultMaxPairs;   // beyond: the pairs and Light's kappa are left out
  long samples = 1000;                       // resamples of Light's kappa; 0: no interval
  std::uint64_t seed = 1;
  double maxBootstrapWork = kMaxBootstrapWork;
  double level = kDefaultLevel;              // of every interval
  unsigned threads = 1;                      // for Light's bootstrap
  // false: `raters` and `conger` are left empty, for the caller to compute
  // (ComputeRaterSummaries, ComputeCongerKappa), on other threads, say
  bool raterParts = true;
};

// All of the above for the observed data of a pass (modes 1 to 3); the
// objects when the reader kept them.
DisagreementResults ComputeDisagreement(const ObservedData& tb, const DisagreementRequest& request);

}  // namespace zover
