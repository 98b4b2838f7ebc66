// Krippendorff's alpha at every level of measurement, and its bootstrap.
//
// The coincidences of the objects with r_i >= 2 ratings (Krippendorff 2011,
// "Computing Krippendorff's Alpha-Reliability"): each ordered pair of ratings
// (c, k) from two raters of object i adds 1/(r_i - 1) to o_ck, so
//   o_ck = sum_i r_ic r_ik / (r_i - 1) (c != k),  o_cc = sum_i r_ic (r_ic - 1) / (r_i - 1),
//   n_c = sum_k o_ck = sum_i r_ic,  n.. = sum_c n_c (the pairable values).
// With a difference function delta^2(c, k), zero for c = k:
//   nominal   [c != k]
//   ordinal   (sum_{g = c..k} n_g - (n_c + n_k)/2)^2, the classes in the order of their values
//   interval  (x_c - x_k)^2
//   ratio     ((x_c - x_k) / (x_c + x_k))^2, for values of 0 or more
// the observed and the expected disagreement (each times n..) are
//   D_o = sum_ck o_ck delta^2,  D_e = sum_ck n_c n_k delta^2 / (n.. - 1),
// and alpha = 1 - D_o / D_e.
//
// None of these needs the K x K coincidences. The ordinal difference is a
// difference of positions, y_k - y_c with y_c = (n of the classes of smaller
// value) + n_c / 2, so the ordinal level is the interval level on the values
// y. For a difference (v_c - v_k)^2 the sums over pairs of classes are sums
// of squares about a mean:
//   object i:  sum_ck r_ic r_ik (v_c - v_k)^2 = 2 r_i sum_c r_ic (v_c - vbar_i)^2,  vbar_i = sum_c r_ic v_c / r_i,
//   expected:  sum_ck n_c n_k (v_c - v_k)^2  = 2 n.. sum_c n_c (v_c - vbar)^2,     vbar = sum_c n_c v_c / n..,
// and for the nominal level sum_c r_ic (r_i - r_ic) and sum_c n_c (n.. - n_c).
// Each is O(K) (O(classes of the object) per object) and keeps its digits,
// where the expanded form (sum of squares minus the square of the sum) would
// cancel. The ratio difference has no such form: its object terms are summed
// over the object's pairs of classes and its expected disagreement over the
// pairs of classes used.
//
// The bootstrap (--bootstrap-method objects, the default) resamples the
// objects with two ratings or more, with replacement, each with every one of
// its ratings, as many as there are, and recomputes alpha, margins and
// expected disagreement included, from each resample; the interval is the
// (1 - P)/2 and (1 + P)/2 percentiles of the resampled alphas (linear
// interpolation between order statistics, as R's quantile type 7), within
// [-1, 1] unless the estimate lies outside. Objects with the same counts of
// ratings per class (a pattern) are alike, so a resample is the number of
// draws that fall on each pattern, a multinomial draw: when there are more
// than 8 objects a pattern, a binomial variate per pattern, conditional on
// the ones before (in the patterns' order), in time that does not grow with
// the objects; otherwise each object is drawn by Walker's alias method over
// the patterns (one uniform variate a draw: u P, P the patterns, has the
// pattern as its integer part and its fraction chooses between the pattern
// and its alias; with P below 2^24 the fraction keeps 29 bits or more). The
// patterns are sorted by
// their counts, so the resamples do not depend on the order of the file's
// lines or of its raters. A resample in which every rating falls in one
// class has no alpha; it is left out of the percentiles.
//
// The pairs method (--bootstrap-method pairs) resamples pairable values as
// Hayes and Krippendorff (2007) describe: the M = sum_i r_i (r_i - 1)/2 pairs
// of values that share an object, each worth 2 delta^2(c, k) / (r_i - 1) of
// D_o, are drawn M times with replacement, and each resample gives alpha* =
// 1 - (the sum of the drawn worths) / D_e, with D_e, which the margins fix,
// held constant. It treats the pairs of one object as independent, which
// they are not with more than two ratings an object: its interval is then
// too narrow. Pairs of equal worth form one group, so a resample is a
// multinomial draw of M over the groups.

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

#include "kappa/detail.h"
#include "kappa/ordered.h"
#include "kappa/random.h"

namespace zover {

using namespace detail;

double detail::Quantile(const std::vector<double>& sorted, double p) {
  const double h = (static_cast<double>(sorted.size()) - 1) * p;
  const std::size_t low = static_cast<std::size_t>(std::floor(h));
  if (low + 1 >= sorted.size()) return sorted.back();
  return sorted[low] + (h - static_cast<double>(low)) * (sorted[low + 1] - sorted[low]);
}

namespace {

constexpr int kLevels = 4;

// The classes in the order of their values (ties, which distinct labels do
// not give, in the order of the classes).
std::vector<int> ValueOrder(const std::vector<double>& x) {
  std::vector<int> order(x.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&x](int a, int b) { return x[a] < x[b]; });
  return order;
}

// The ordinal positions y_c = (n of the classes of smaller value) + n_c / 2.
void OrdinalPositions(const std::vector<int>& order, const std::vector<double>& margins, std::vector<double>& y) {
  y.assign(margins.size(), 0.0);
  double below = 0;
  for (const int c : order) {
    y[c] = below + margins[c] / 2;
    below += margins[c];
  }
}

// ((x_c - x_k) / (x_c + x_k))^2, 0 for c = k.
double RatioDifference(const std::vector<double>& x, int c, int k) {
  if (c == k) return 0;
  const double d = (x[c] - x[k]) / (x[c] + x[k]);
  return d * d;
}

// The disagreement of one object with r ratings, times r - 1 over 2 (so
// that the nominal and squared-difference forms stay in whole numbers as
// long as they can): sum over its pairs of ratings in two classes of
// delta^2. classes(j) and counts(j), j < size, are its classes and their
// rater counts.
template <typename Classes, typename Counts>
double HalfPairSum(AlphaLevel level, const Classes& classes, const Counts& counts, std::size_t size, int r,
                   const std::vector<double>& v) {
  switch (level) {
    case AlphaLevel::kNominal: {
      double apart = 0;  // sum_c r_c (r - r_c), ordered pairs
      for (std::size_t j = 0; j < size; ++j) apart += static_cast<double>(counts(j)) * (r - counts(j));
      return apart / 2;
    }
    case AlphaLevel::kOrdinal:
    case AlphaLevel::kInterval: {
      double sum = 0;
      for (std::size_t j = 0; j < size; ++j) sum += counts(j) * v[classes(j)];
      const double mean = sum / r;
      double squares = 0;
      for (std::size_t j = 0; j < size; ++j) {
        const double d = v[classes(j)] - mean;
        squares += counts(j) * (d * d);
      }
      return r * squares;
    }
    case AlphaLevel::kRatio: {
      double pairs = 0;
      for (std::size_t j = 0; j < size; ++j) {
        for (std::size_t l = j + 1; l < size; ++l) {
          pairs += static_cast<double>(counts(j)) * counts(l) * RatioDifference(v, classes(j), classes(l));
        }
      }
      return pairs;
    }
  }
  return 0;
}

// The ratio differences of the pairs of classes that the data use, once:
// delta^2(used[j], used[l]) for l < j at row j, packed.
class RatioTable {
 public:
  RatioTable(const std::vector<double>& x, const std::vector<int>& used) : used_(used) {
    cells_.reserve(used.size() * (used.size() - (used.empty() ? 0 : 1)) / 2);
    for (std::size_t j = 1; j < used.size(); ++j) {
      for (std::size_t l = 0; l < j; ++l) cells_.push_back(RatioDifference(x, used[j], used[l]));
    }
  }

  // sum over pairs of classes c < k of n_c n_k delta^2(c, k), each row in
  // four partial sums added in a fixed order (so that the additions need
  // not wait on one another).
  double HalfExpected(const std::vector<double>& margins) const {
    double total = 0;
    const double* cell = cells_.data();
    for (std::size_t j = 1; j < used_.size(); ++j, cell += j - 1) {
      double part[4] = {0, 0, 0, 0};
      std::size_t l = 0;
      for (; l + 4 <= j; l += 4) {
        for (std::size_t q = 0; q < 4; ++q) part[q] += margins[used_[l + q]] * cell[l + q];
      }
      for (; l < j; ++l) part[0] += margins[used_[l]] * cell[l];
      total += margins[used_[j]] * ((part[0] + part[1]) + (part[2] + part[3]));
    }
    return total;
  }

 private:
  std::vector<int> used_;
  std::vector<double> cells_;
};

// The expected disagreement times (n.. - 1) / 2: sum over pairs of classes
// c < k of n_c n_k delta^2(c, k) (`ratio` for the ratio level).
double HalfExpected(AlphaLevel level, const std::vector<double>& margins, double pairable,
                    const std::vector<double>& v, const RatioTable* ratio) {
  switch (level) {
    case AlphaLevel::kNominal: {
      double apart = 0;
      for (const double nc : margins) apart += nc * (pairable - nc);
      return apart / 2;
    }
    case AlphaLevel::kOrdinal:
    case AlphaLevel::kInterval: {
      double sum = 0;
      for (std::size_t c = 0; c < margins.size(); ++c) sum += margins[c] * v[c];
      const double mean = sum / pairable;
      double squares = 0;
      for (std::size_t c = 0; c < margins.size(); ++c) {
        const double d = v[c] - mean;
        squares += margins[c] * (d * d);
      }
      return pairable * squares;
    }
    case AlphaLevel::kRatio: return ratio->HalfExpected(margins);
  }
  return 0;
}

// The percentile interval of the resampled alphas at `confidence`, within
// [-1, 1] unless alpha lies outside. At 95 % the tails are the literals
// 0.025 and 0.975, as they always were ((1 - 0.95) / 2 is not 0.025 in
// doubles).
std::pair<double, double> PercentileInterval(std::vector<double>& resamples, double alpha, double confidence) {
  std::sort(resamples.begin(), resamples.end());
  const bool usual = confidence == kDefaultLevel;
  const double low = Quantile(resamples, usual ? 0.025 : (1 - confidence) / 2);
  const double high = Quantile(resamples, usual ? 0.975 : (1 + confidence) / 2);
  return {std::max(std::min(-1.0, alpha), low), std::min(std::max(1.0, alpha), high)};
}

// --- The estimate -------------------------------------------------------------

struct Margins {
  bool malformed = false;
  std::vector<double> n;  // n_c
  double pairable = 0;    // n..
  double objects = 0;     // objects with two ratings or more
  std::vector<int> used;  // classes with n_c > 0, increasing
};

Margins SumMargins(const PatternSource& patterns, int K) {
  Margins m;
  m.n.assign(static_cast<std::size_t>(K), 0.0);
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 0) m.malformed = true;
    if (r < 2 || m.malformed) return;
    m.objects += pattern.weight;
    m.pairable += pattern.weight * r;
    for (const auto& [c, rc] : pattern.counts) m.n[c] += pattern.weight * rc;
  });
  for (int c = 0; c < K; ++c) {
    if (m.n[c] > 0) m.used.push_back(c);
  }
  return m;
}

// The values each level's differences are taken on: the class values, or
// for the ordinal level the positions y.
const std::vector<double>& LevelValues(AlphaLevel level, const std::vector<double>& values,
                                       const std::vector<double>& positions) {
  return level == AlphaLevel::kOrdinal ? positions : values;
}

// --- The objects bootstrap ----------------------------------------------------

// The patterns of the objects with two ratings or more, equal ones merged,
// sorted by their counts, flat.
struct PatternTable {
  std::vector<double> weight;        // [pattern]: objects
  std::vector<int> raters;           // [pattern]: r
  std::vector<std::size_t> start;    // [pattern + 1]: where its classes begin
  std::vector<std::uint16_t> klass;  // classes 0 .. K-1
  std::vector<std::uint16_t> count;  // their rater counts
  std::size_t size() const { return weight.size(); }
};

PatternTable MergedPatterns(const PatternSource& patterns, int K) {
  PatternTable all;
  all.start.push_back(0);
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 2 || !(pattern.weight > 0)) return;
    all.weight.push_back(pattern.weight);
    all.raters.push_back(r);
    for (const auto& [c, rc] : pattern.counts) {
      all.klass.push_back(static_cast<std::uint16_t>(c));
      all.count.push_back(static_cast<std::uint16_t>(rc));
    }
    all.start.push_back(all.klass.size());
  });
  auto less = [&all](std::size_t a, std::size_t b) {
    const std::size_t la = all.start[a + 1] - all.start[a], lb = all.start[b + 1] - all.start[b];
    for (std::size_t j = 0; j < la && j < lb; ++j) {
      const std::size_t ia = all.start[a] + j, ib = all.start[b] + j;
      if (all.klass[ia] != all.klass[ib]) return all.klass[ia] < all.klass[ib];
      if (all.count[ia] != all.count[ib]) return all.count[ia] < all.count[ib];
    }
    return la < lb;
  };
  std::vector<std::size_t> order(all.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), less);
  PatternTable merged;
  merged.start.push_back(0);
  for (std::size_t j = 0; j < order.size(); ++j) {
    const std::size_t p = order[j];
    if (j > 0 && !less(order[j - 1], p)) {
      merged.weight.back() += all.weight[p];
      continue;
    }
    merged.weight.push_back(all.weight[p]);
    merged.raters.push_back(all.raters[p]);
    for (std::size_t e = all.start[p]; e < all.start[p + 1]; ++e) {
      merged.klass.push_back(all.klass[e]);
      merged.count.push_back(all.count[e]);
    }
    merged.start.push_back(merged.klass.size());
  }
  return merged;
}

// How many times each pattern is drawn in one resample of the objects.
class ObjectDraws {
 public:
  ObjectDraws(const std::vector<double>& weight, std::uint64_t seed) : weight_(weight), random_(seed) {
    for (const double w : weight) objects_ += w;
    draws_.assign(weight.size(), 0.0);
    // One by one needs fewer steps, unless the patterns are far fewer than
    // the objects (and the counts of the draws must fit 32 bits).
    oneByOne_ = objects_ <= 8 * static_cast<double>(weight.size()) && objects_ < 4e9;
    if (oneByOne_) BuildAliases();
  }

  // The draws of the next resample, [pattern].
  const std::vector<double>& Next() {
    std::fill(draws_.begin(), draws_.end(), 0.0);
    if (oneByOne_) {
      // One uniform variate a draw: its integer part, times the patterns,
      // picks a pattern, its fraction the pattern or its alias.
      const double patterns = static_cast<double>(weight_.size());
      const std::uint64_t objects = static_cast<std::uint64_t>(objects_);
      for (std::uint64_t k = 0; k < objects; ++k) {
        const double x = random_.Uniform() * patterns;
        std::size_t p = static_cast<std::size_t>(x);  // x >= 0: the cast is the floor
        if (p >= weight_.size()) p = weight_.size() - 1;
        const Alias& alias = aliases_[p];
        // The pattern or its alias, chosen without a branch (which would
        // be mispredicted half the time).
        const std::size_t keep = 0 - static_cast<std::size_t>(x - static_cast<double>(p) < alias.keep);
        ++hits_[(p & keep) | (alias.other & ~keep)];
      }
      for (std::size_t p = 0; p < hits_.size(); ++p) draws_[p] = hits_[p];
      std::fill(hits_.begin(), hits_.end(), 0);
      return draws_;
    }
    double left = objects_;  // draws still to place
    double mass = objects_;  // objects of the patterns still to visit
    for (std::size_t p = 0; p < weight_.size() && left > 0; ++p) {
      const double hits = Binomial(random_, left, weight_[p] / mass);
      draws_[p] = hits;
      left -= hits;
      mass -= weight_[p];
    }
    return draws_;
  }

 private:
  // Walker's alias method, as Vose (1991) builds it: pattern p is kept with
  // probability keep_[p], else its alias is taken; the patterns below and
  // above the mean are paired from the ends of their lists.
  void BuildAliases() {
    const std::size_t P = weight_.size();
    aliases_.assign(P, Alias{1.0, 0});
    hits_.assign(P, 0);
    std::vector<double> scaled(P);
    std::vector<std::size_t> small, large;
    for (std::size_t p = 0; p < P; ++p) {
      scaled[p] = weight_[p] * static_cast<double>(P) / objects_;
      (scaled[p] < 1 ? small : large).push_back(p);
    }
    while (!small.empty() && !large.empty()) {
      const std::size_t s = small.back(), l = large.back();
      small.pop_back();
      aliases_[s] = {scaled[s], static_cast<std::uint32_t>(l)};
      scaled[l] = (scaled[l] + scaled[s]) - 1;
      if (scaled[l] < 1) {
        large.pop_back();
        small.push_back(l);
      }
    }
    // What rounding leaves in either list is kept whole.
    for (const std::size_t p : small) aliases_[p].keep = 1;
    for (const std::size_t p : large) aliases_[p].keep = 1;
  }

  // A pattern's share of the draws that land on it: kept with probability
  // `keep`, else `other` is taken.
  struct Alias {
    double keep;
    std::uint32_t other;
  };

  const std::vector<double>& weight_;
  SplitMix64 random_;
  double objects_ = 0;
  bool oneByOne_ = false;
  std::vector<Alias> aliases_;
  std::vector<std::uint32_t> hits_;  // the draws of a resample, one by one
  std::vector<double> draws_;
};

// The objects bootstrap of every level in `alphas` (each with an estimate):
// one stream of resamples for all of them, so each level's interval is the
// one it would have alone.
void ObjectsBootstrap(const PatternSource& patterns, const std::vector<double>& values, const Margins& margins,
                      const RatioTable* ratio, long samples, std::uint64_t seed, double confidence,
                      std::vector<LeveledAlpha>& alphas) {
  const int K = static_cast<int>(values.size());
  const PatternTable table = MergedPatterns(patterns, K);
  const std::vector<int> order = ValueOrder(values);
  const std::size_t P = table.size();
  auto halfPairs = [&table](AlphaLevel level, std::size_t p, const std::vector<double>& v) {
    const std::size_t first = table.start[p];
    const auto klass = [&table, first](std::size_t j) { return static_cast<int>(table.klass[first + j]); };
    const auto count = [&table, first](std::size_t j) { return static_cast<int>(table.count[first + j]); };
    return HalfPairSum(level, klass, count, table.start[p + 1] - first, table.raters[p], v);
  };
  // The object terms of D_o that do not move with the margins (every level
  // but the ordinal): 2 / (r - 1) times the half pair sums, [alpha][pattern].
  const std::size_t A = alphas.size();
  std::vector<std::vector<double>> fixed(A);
  bool ordinal = false;
  for (std::size_t a = 0; a < A; ++a) {
    const AlphaLevel level = alphas[a].level;
    if (level == AlphaLevel::kOrdinal) {
      ordinal = true;
      continue;
    }
    fixed[a].resize(P);
    for (std::size_t p = 0; p < P; ++p) fixed[a][p] = 2 * halfPairs(level, p, values) / (table.raters[p] - 1);
  }
  std::vector<std::vector<double>> resampled(A);
  for (std::vector<double>& r : resampled) r.reserve(static_cast<std::size_t>(samples));
  std::vector<long> undefined(A, 0);
  ObjectDraws draws(table.weight, seed);
  std::vector<double> n(margins.n.size()), positions, observed(A);
  std::vector<std::uint32_t> drawn;  // the patterns of two classes or more drawn, increasing
  for (long s = 0; s < samples; ++s) {
    const std::vector<double>& m = draws.Next();
    std::fill(n.begin(), n.end(), 0.0);
    std::fill(observed.begin(), observed.end(), 0.0);
    drawn.clear();
    double pairable = 0;
    for (std::size_t p = 0; p < P; ++p) {
      const double times = m[p];
      if (times == 0) continue;
      pairable += times * table.raters[p];
      for (std::size_t e = table.start[p]; e < table.start[p + 1]; ++e) n[table.klass[e]] += times * table.count[e];
      if (table.start[p + 1] - table.start[p] < 2) continue;  // one class: no disagreement
      drawn.push_back(static_cast<std::uint32_t>(p));
      for (std::size_t a = 0; a < A; ++a) {
        if (!fixed[a].empty()) observed[a] += times * fixed[a][p];
      }
    }
    if (ordinal) {
      OrdinalPositions(order, n, positions);
      double sum = 0;
      for (const std::uint32_t p : drawn) {
        sum += m[p] * (2 * halfPairs(AlphaLevel::kOrdinal, p, positions) / (table.raters[p] - 1));
      }
      for (std::size_t a = 0; a < A; ++a) {
        if (fixed[a].empty()) observed[a] = sum;
      }
    }
    for (std::size_t a = 0; a < A; ++a) {
      const AlphaLevel level = alphas[a].level;
      const double expected =
          2 * HalfExpected(level, n, pairable, LevelValues(level, values, positions), ratio) / (pairable - 1);
      if (expected > 0) {
        resampled[a].push_back(1 - observed[a] / expected);
      } else {
        ++undefined[a];
      }
    }
  }
  for (std::size_t a = 0; a < A; ++a) {
    LeveledAlpha& alpha = alphas[a];
    alpha.undefinedResamples = undefined[a];
    if (2 * undefined[a] > samples) {
      alpha.ciReason = "in more than half of the resamples every rating is in one class";
      continue;
    }
    alpha.ci = PercentileInterval(resampled[a], *alpha.alpha.value, confidence);
  }
}

// --- The pairs bootstrap ------------------------------------------------------

// delta^2(c, k) of every pair of classes, as the pairs bootstrap has always
// taken them (the ordinal level from prefix sums of the margins in the order
// of the class values).
Grid<double> Differences(AlphaLevel level, const std::vector<double>& x, const std::vector<double>& margins) {
  const std::size_t K = x.size();
  Grid<double> delta(K, K);
  const std::vector<int> order = ValueOrder(x);
  std::vector<std::size_t> rank(K);
  for (std::size_t j = 0; j < K; ++j) rank[order[j]] = j;
  std::vector<double> below(K + 1, 0.0);  // below[j]: the margins of the j classes of smallest value
  for (std::size_t j = 0; j < K; ++j) below[j + 1] = below[j] + margins[order[j]];
  for (std::size_t c = 0; c < K; ++c) {
    for (std::size_t k = 0; k < K; ++k) {
      if (c == k) continue;
      double d = 1;
      switch (level) {
        case AlphaLevel::kNominal: break;
        case AlphaLevel::kOrdinal: {
          const std::size_t low = std::min(rank[c], rank[k]), high = std::max(rank[c], rank[k]);
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

// The pairs bootstrap interval of `alpha`, as described at the top: the
// margins from the coincidences and D_e summed over every pair of classes,
// as they always were, so that a seed gives the interval it always gave.
std::pair<double, double> PairsBootstrap(const PatternSource& patterns, const std::vector<double>& values,
                                         AlphaLevel level, double alpha, long samples, std::uint64_t seed,
                                         double confidence) {
  const int K = static_cast<int>(values.size());
  Grid<double> coincidences(values.size(), values.size());
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 2) return;
    const double share = pattern.weight / (r - 1);
    for (const auto& [c, rc] : pattern.counts) {
      for (const auto& [k, rk] : pattern.counts) {
        coincidences[c][k] += share * (static_cast<double>(rc) * (c == k ? rk - 1 : rk));
      }
    }
  });
  std::vector<double> margins(values.size(), 0.0);
  double pairable = 0;
  for (int c = 0; c < K; ++c) {
    for (int k = 0; k < K; ++k) margins[c] += coincidences[c][k];
    pairable += margins[c];
  }
  const Grid<double> delta = Differences(level, values, margins);
  double expected = 0;
  for (int c = 0; c < K; ++c) {
    for (int k = 0; k < K; ++k) expected += margins[c] * margins[k] * delta[c][k];
  }
  expected /= pairable - 1;

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
  return PercentileInterval(resamples, alpha, confidence);
}

}  // namespace

std::vector<LeveledAlpha> ComputeLeveledAlphas(const PatternSource& patterns, const std::vector<double>& values,
                                               const std::vector<AlphaLevel>& levels, const AlphaBootstrap& bootstrap) {
  std::vector<LeveledAlpha> alphas(levels.size());
  for (std::size_t a = 0; a < levels.size(); ++a) alphas[a].level = levels[a];
  auto failAll = [&](const char* reason) {
    for (LeveledAlpha& a : alphas) a.alpha.reason = reason;
    return alphas;
  };
  const int K = static_cast<int>(values.size());
  if (K < 1 || K > 65535) return failAll(kMalformed);
  const Margins m = SumMargins(patterns, K);
  if (m.malformed) return failAll(kMalformed);
  for (LeveledAlpha& a : alphas) a.alpha.objectsUsed = m.objects;
  if (!(m.pairable > 1)) return failAll(kNoPairs);
  std::vector<double> positions;
  OrdinalPositions(ValueOrder(values), m.n, positions);
  const bool negative = *std::min_element(values.begin(), values.end()) < 0;

  // The object terms of every level, in one more pass.
  double halfObserved[kLevels] = {0, 0, 0, 0};
  bool asked[kLevels] = {false, false, false, false};
  for (const AlphaLevel level : levels) asked[static_cast<int>(level)] = !(level == AlphaLevel::kRatio && negative);
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 2) return;
    const auto klass = [&pattern](std::size_t j) { return pattern.counts[j].first; };
    const auto count = [&pattern](std::size_t j) { return pattern.counts[j].second; };
    for (int level = 0; level < kLevels; ++level) {
      if (!asked[level]) continue;
      const AlphaLevel l = static_cast<AlphaLevel>(level);
      const double half = HalfPairSum(l, klass, count, pattern.counts.size(), r, LevelValues(l, values, positions));
      halfObserved[level] += pattern.weight * (half / (r - 1));
    }
  });
  bool anyInterval = false;
  std::optional<RatioTable> ratio;
  for (LeveledAlpha& a : alphas) {
    const int level = static_cast<int>(a.level);
    if (a.level == AlphaLevel::kRatio && negative) {
      a.alpha.reason = "ratio data need class values of 0 or more";
      continue;
    }
    if (a.level == AlphaLevel::kRatio && !ratio) ratio.emplace(values, m.used);
    const double expected =
        2 * HalfExpected(a.level, m.n, m.pairable, LevelValues(a.level, values, positions), ratio ? &*ratio : nullptr) /
        (m.pairable - 1);
    if (!(expected > 0)) {
      a.alpha.reason = kOneClass;
      continue;
    }
    a.alpha.value = 1 - 2 * halfObserved[level] / expected;
    anyInterval = anyInterval || bootstrap.samples > 0;
  }
  if (!anyInterval) return alphas;
  if (bootstrap.method == BootstrapMethod::kPairs) {
    for (LeveledAlpha& a : alphas) {
      if (!a.alpha.value) continue;
      a.ci = PairsBootstrap(patterns, values, a.level, *a.alpha.value, bootstrap.samples, bootstrap.seed,
                            bootstrap.confidence);
    }
    return alphas;
  }
  std::vector<LeveledAlpha> estimated;
  for (const LeveledAlpha& a : alphas) {
    if (a.alpha.value) estimated.push_back(a);
  }
  ObjectsBootstrap(patterns, values, m, ratio ? &*ratio : nullptr, bootstrap.samples, bootstrap.seed,
                   bootstrap.confidence, estimated);
  std::size_t e = 0;
  for (LeveledAlpha& a : alphas) {
    if (a.alpha.value) a = estimated[e++];
  }
  return alphas;
}

LeveledAlpha ComputeLeveledAlpha(const PatternSource& patterns, const std::vector<double>& values, AlphaLevel level,
                                 const AlphaBootstrap& bootstrap) {
  return ComputeLeveledAlphas(patterns, values, {level}, bootstrap)[0];
}

}  // namespace zover
