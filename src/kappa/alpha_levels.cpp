// Krippendorff's alpha at every level of measurement, and its bootstrap.
//
// The coincidences of the objects with r_i >= 2 ratings (Krippendorff 2011,
// "Computing Krippendorff's Alpha-Reliability"): each ordered pair of ratings
// (c, k) from two raters of object i adds 1/(r_i - 1) to o_ck, so
//   o_ck = sum_i r_ic r_ik / (r_i - 1) (c != k),  o_cc = sum_i r_ic (r_ic - 1) / (r_i - 1),
//   n_c = sum_k o_ck,  n.. = sum_c n_c (the pairable values).
// With a difference function delta^2(c, k), zero for c = k:
//   nominal   [c != k]
//   ordinal   (sum_{g = c..k} n_g - (n_c + n_k)/2)^2, the classes in their order
//   interval  (x_c - x_k)^2
//   ratio     ((x_c - x_k) / (x_c + x_k))^2, for values of 0 or more
// the observed and the expected disagreement (each times n..) are
//   D_o = sum_ck o_ck delta^2,  D_e = sum_ck n_c n_k delta^2 / (n.. - 1),
// and alpha = 1 - D_o / D_e.
//
// The bootstrap resamples pairable values as Krippendorff recommends (Hayes
// and Krippendorff 2007): the M = sum_i r_i (r_i - 1)/2 pairs of values that
// share an object, each worth 2 delta^2(c, k) / (r_i - 1) of D_o (their sum
// is D_o), are drawn M times with replacement, and each resample gives
// alpha* = 1 - (the sum of the drawn worths) / D_e, with D_e, which the
// margins fix, held constant. Pairs of equal worth form one group, so a
// resample is a multinomial draw of M over the groups: a binomial per group,
// conditional on the ones before, in time that does not grow with M. The 95 %
// interval is the 2.5 and 97.5 percentiles of the resamples (linear
// interpolation between order statistics, as R's quantile type 7), within
// [-1, 1] unless the estimate lies outside.

#include <algorithm>
#include <cmath>
#include <map>

#include "kappa/detail.h"
#include "kappa/ordered.h"
#include "kappa/random.h"

namespace zover {

using namespace detail;

namespace {

// delta^2(c, k) of every pair of classes.
Grid<double> Differences(AlphaLevel level, const std::vector<double>& x, const std::vector<double>& margins) {
  const std::size_t K = x.size();
  Grid<double> delta(K, K);
  std::vector<double> below(K + 1, 0.0);  // below[k]: n_0 + ... + n_(k-1)
  for (std::size_t k = 0; k < K; ++k) below[k + 1] = below[k] + margins[k];
  for (std::size_t c = 0; c < K; ++c) {
    for (std::size_t k = 0; k < K; ++k) {
      if (c == k) continue;
      double d = 1;
      switch (level) {
        case AlphaLevel::kNominal: break;
        case AlphaLevel::kOrdinal: {
          const std::size_t low = std::min(c, k), high = std::max(c, k);
          d = below[high + 1] - below[low] - (margins[c] + margins[k]) / 2;
          break;
        }
        case AlphaLevel::kInterval: d = x[c] - x[k]; break;
        case AlphaLevel::kRatio: d = (x[c] - x[k]) / (x[c] + x[k]); break;
      }
      delta[c][k] = d * d;
    }
  }
  return delta;
}

// The bootstrap interval of `alpha`: `samples` resamples of the pairs of
// values of the objects, as described at the top.
std::pair<double, double> Bootstrap(const PatternSource& patterns, const Grid<double>& delta, double expected,
                                    double alpha, long samples, std::uint64_t seed) {
  const int K = static_cast<int>(delta.rows());
  std::map<double, double> groups;  // worth -> pairs; pairs of worth 0 only count in M
  double pairs = 0;                 // M
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 2) return;
    const double w = pattern.weight;
    pairs += w * (static_cast<double>(r) * (r - 1) / 2);
    for (std::size_t i = 0; i < pattern.counts.size(); ++i) {
      for (std::size_t j = i + 1; j < pattern.counts.size(); ++j) {
        const auto& [c, rc] = pattern.counts[i];
        const auto& [k, rk] = pattern.counts[j];
        if (delta[c][k] > 0) groups[2 * delta[c][k] / (r - 1)] += w * (static_cast<double>(rc) * rk);
      }
    }
  });
  SplitMix64 random(seed);
  std::vector<double> resamples(static_cast<std::size_t>(samples));
  for (double& resample : resamples) {
    double left = pairs;  // draws still to place
    double mass = pairs;  // pairs of the groups still to visit, and of worth 0
    double drawn = 0;
    for (const auto& [worth, count] : groups) {
      if (left == 0) break;
      const double hits = Binomial(random, left, count / mass);
      drawn += worth * hits;
      left -= hits;
      mass -= count;
    }
    resample = 1 - drawn / expected;
  }
  std::sort(resamples.begin(), resamples.end());
  return {std::max(std::min(kKappaRange.low, alpha), Quantile(resamples, 0.025)),
          std::min(std::max(kKappaRange.high, alpha), Quantile(resamples, 0.975))};
}

}  // namespace

double detail::Quantile(const std::vector<double>& sorted, double p) {
  const double h = (static_cast<double>(sorted.size()) - 1) * p;
  const std::size_t low = static_cast<std::size_t>(std::floor(h));
  if (low + 1 >= sorted.size()) return sorted.back();
  return sorted[low] + (h - static_cast<double>(low)) * (sorted[low + 1] - sorted[low]);
}

LeveledAlpha ComputeLeveledAlpha(const PatternSource& patterns, const std::vector<double>& values, AlphaLevel level,
                                 long samples, std::uint64_t seed) {
  LeveledAlpha result;
  result.level = level;
  const int K = static_cast<int>(values.size());
  if (K < 1) {
    result.alpha.reason = kMalformed;
    return result;
  }
  if (level == AlphaLevel::kRatio && *std::min_element(values.begin(), values.end()) < 0) {
    result.alpha.reason = "ratio data need class values of 0 or more";
    return result;
  }
  Grid<double> coincidences(values.size(), values.size());
  bool malformed = false;
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 0) malformed = true;
    if (r < 2 || malformed) return;
    const double share = pattern.weight / (r - 1);
    for (const auto& [c, rc] : pattern.counts) {
      for (const auto& [k, rk] : pattern.counts) {
        coincidences[c][k] += share * (static_cast<double>(rc) * (c == k ? rk - 1 : rk));
      }
    }
  });
  if (malformed) {
    result.alpha.reason = kMalformed;
    return result;
  }
  std::vector<double> margins(values.size(), 0.0);  // n_c
  double pairable = 0;                              // n..
  for (int c = 0; c < K; ++c) {
    for (int k = 0; k < K; ++k) margins[c] += coincidences[c][k];
    pairable += margins[c];
  }
  if (!(pairable > 1)) {
    result.alpha.reason = kNoPairs;
    return result;
  }
  const Grid<double> delta = Differences(level, values, margins);
  double observed = 0, expected = 0;
  for (int c = 0; c < K; ++c) {
    for (int k = 0; k < K; ++k) {
      observed += coincidences[c][k] * delta[c][k];
      expected += margins[c] * margins[k] * delta[c][k];
    }
  }
  expected /= pairable - 1;
  if (!(expected > 0)) {
    result.alpha.reason = kOneClass;
    return result;
  }
  const double alpha = 1 - observed / expected;
  result.alpha.value = alpha;
  if (samples > 0) result.ci95 = Bootstrap(patterns, delta, expected, alpha, samples, seed);
  return result;
}

}  // namespace zover
