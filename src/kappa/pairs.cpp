// The pairs of raters: their tables in one pass over the tuples, Cohen's
// kappa of each, Light's kappa and its bootstrap, and Scott's pi of two
// raters.
//
// Pair (a, b) counts, in its K x K table, every object that both rated: cell
// (k, l) the objects that a put in class k and b in class l. An object's
// tuple adds its count to one cell of each pair of raters who both rated
// it, so a pass costs O(tuples R^2) however the ratings are missing. The
// tables of all pairs are too large for the processor's caches beyond a few
// dozen raters; the tuples are therefore decoded a chunk at a time, and each
// chunk is added to the tables of a few raters at a time (the pairs (a, b)
// of a in a block), whose tables fit the cache.
//
// Cohen's kappa of a pair, with its standard error and its null standard
// error, is that of WeightedCohenKappa (Fleiss, Cohen and Everitt 1969) with
// identity weights, which is statsmodels' cohens_kappa. Its standard error
// equals Gwet's (irrCAC's kappa2.table), whose variance
//   [sum_kl p_kl (w_kl - (1 - kappa)(wr_k + wc_l))^2 - (pa - 2 (1 - kappa) pe)^2] / (n (1 - pe)^2)
// has pa - 2 (1 - kappa) pe = kappa - pe (1 - kappa), since pa = kappa (1 - pe) + pe.
//
// Light's kappa is the mean of the pairs' unweighted kappas (irr's
// kappam.light, which takes the objects that every rater rated; here each
// pair takes the objects that both of its raters rated). Its interval is the
// 2.5 and 97.5 percentiles of the kappa of resamples of the objects with two
// ratings or more: each resample draws as many objects with replacement, a
// multinomial draw over the tuples made as one binomial per tuple given the
// ones before (kappa/random.h), whose tables are counted as above.
//
// Scott's pi of two raters (Scott 1955) with Gwet's variance (irrCAC's
// scott2.table), with margins a_k (first rater), b_l (second), pi_k =
// (a_k + b_k) / 2 and pbar_k = (sum_l w_kl b_l + sum_l w_lk a_l) / 2:
//   pa = sum w_kl p_kl,  pe = sum w_kl pi_k pi_l,  pi = (pa - pe) / (1 - pe),
//   Var = [sum_kl p_kl (w_kl - (1 - pi)(pbar_k + pbar_l))^2 - (pa - 2 (1 - pi) pe)^2] / (n (1 - pe)^2).

#include "kappa/pairs.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "kappa/detail.h"
#include "kappa/ordered.h"
#include "kappa/random.h"
#include "tables/tasks.h"

namespace zover {

using namespace detail;

namespace {

// The tables of every pair of raters, counted a chunk of tuples at a time.
class PairCounter {
 public:
  PairCounter(int R, int K, std::uint32_t* cells)
      : R_(static_cast<std::size_t>(R)), K_(static_cast<std::size_t>(K)), cells_(cells) {
    chunk_ = std::max<std::size_t>(1, kChunkBytes / (2 * R_));
    classes_.reserve(chunk_ * R_);
    weights_.reserve(chunk_);
  }

  // Counts `weight` objects with the R values `values` (0: missing).
  void Add(const std::uint16_t* values, std::uint32_t weight) {
    if (weight == 0) return;
    classes_.insert(classes_.end(), values, values + R_);
    weights_.push_back(weight);
    if (weights_.size() == chunk_) Flush();
  }

  // Counts the tuples still held.
  void Flush() {
    const std::size_t cells = K_ * K_;
    const std::size_t tuples = weights_.size();
    for (std::size_t first = 0; first + 1 < R_;) {
      // The block of raters first .. last - 1, whose tables fit kBlockBytes
      // (one rater at least).
      std::size_t last = first + 1;
      std::size_t bytes = (R_ - first - 1) * cells * sizeof(std::uint32_t);
      while (last + 1 < R_ && bytes + (R_ - last - 1) * cells * sizeof(std::uint32_t) <= kBlockBytes) {
        bytes += (R_ - last - 1) * cells * sizeof(std::uint32_t);
        ++last;
      }
      for (std::size_t t = 0; t < tuples; ++t) {
        const std::uint16_t* x = classes_.data() + t * R_;
        const std::uint32_t w = weights_[t];
        for (std::size_t a = first; a < last; ++a) {
          if (x[a] == 0) continue;
          // Row x[a] of the table of pair (a, a + 1); the next pair's is
          // `cells` further on.
          const std::size_t at = PairIndex(static_cast<int>(a), static_cast<int>(a + 1), static_cast<int>(R_)) * cells +
                                 (x[a] - 1u) * K_;
          const std::uint16_t* later = x + a + 1;
          const std::size_t count = R_ - a - 1;
          for (std::size_t j = 0; j < count; ++j) {
            if (later[j] != 0) cells_[at + j * cells + (later[j] - 1u)] += w;
          }
        }
      }
      first = last;
    }
    classes_.clear();
    weights_.clear();
  }

 private:
  static constexpr std::size_t kChunkBytes = std::size_t{1} << 19;
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 18;
  std::size_t R_, K_;
  std::uint32_t* cells_;
  std::size_t chunk_;
  std::vector<std::uint16_t> classes_;  // the tuples held, R values each
  std::vector<std::uint32_t> weights_;
};

Grid<double> Identity(int K) {
  Grid<double> identity(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
  for (int k = 0; k < K; ++k) identity[k][k] = 1;
  return identity;
}

// Unweighted Cohen's kappa of a table of counts, as WeightedCohenKappa
// forms it with identity weights; none without objects or when every rating
// of both raters is in one class. Only the classes `used` (ascending) are
// read: every other row and column of the table is empty, and its zeros
// would add nothing to any sum, so the result is the same to the bit.
std::optional<double> KappaOf(const std::uint32_t* table, std::size_t K, const std::vector<std::size_t>& used,
                              std::vector<double>& a, std::vector<double>& b) {
  double n = 0;
  for (const std::size_t k : used) {
    for (const std::size_t l : used) n += table[k * K + l];
  }
  if (!(n > 0)) return std::nullopt;
  std::fill(a.begin(), a.end(), 0.0);
  std::fill(b.begin(), b.end(), 0.0);
  for (const std::size_t k : used) {
    for (const std::size_t l : used) {
      a[k] += table[k * K + l] / n;
      b[l] += table[k * K + l] / n;
    }
  }
  double po = 0, pe = 0;
  for (const std::size_t k : used) {
    po += table[k * K + k] / n;
    pe += a[k] * b[k];
  }
  if (!(1 - pe > 0)) return std::nullopt;
  return (po - pe) / (1 - pe);
}

// The classes in a row or column of the `count` tables of K x K cells at
// `tables`, increasing: read from the tables where they have fewer cells
// than the tuples have ratings, else from the tuples with two ratings or
// more, whose every class is in a row or column of some table.
std::vector<std::size_t> ClassesUsed(const ObservedData& tb, int R, int K, const std::uint32_t* tables,
                                     std::size_t count) {
  const auto k = static_cast<std::size_t>(K);
  std::vector<std::uint32_t> seen(k, 0);  // nonzero: used
  if (count * k * k <= TupleCount(tb) * static_cast<std::size_t>(R)) {
    for (std::size_t p = 0; p < count; ++p, tables += k * k) {
      for (std::size_t row = 0; row < k; ++row) {
        for (std::size_t column = 0; column < k; ++column) {
          seen[row] |= tables[row * k + column];
          seen[column] |= tables[row * k + column];
        }
      }
    }
  } else {
    ForEachTuple(tb, [&seen, R](const std::uint16_t* values, std::uint32_t weight) {
      if (weight == 0 || std::count_if(values, values + R, [](std::uint16_t v) { return v != 0; }) < 2) return;
      for (int r = 0; r < R; ++r) {
        if (values[r] != 0) seen[values[r] - 1u] = 1;
      }
    });
  }
  return FlaggedClasses(seen);
}

// Clears the cells of `pairs` tables of K x K that a resample can have
// counted: those of the classes `used`.
void ClearUsed(std::uint32_t* cells, std::size_t pairs, std::size_t K, const std::vector<std::size_t>& used) {
  for (std::size_t p = 0; p < pairs; ++p, cells += K * K) {
    for (const std::size_t k : used) {
      for (const std::size_t l : used) cells[k * K + l] = 0;
    }
  }
}

// The mean of the pairs' kappas that exist, and how many there are.
struct MeanKappa {
  double sum = 0;
  long pairs = 0;
};

// Light's bootstrap counts several resamples at once, each on a thread with
// its own tables and draws, from this many steps (about 10 ms), and as many
// as this many cells, and as many draws, leave room for (64 MiB each).
constexpr double kThreadedBootstrapWork = 1e7;
constexpr std::size_t kThreadedBootstrapRoom = std::size_t{1} << 24;

}  // namespace

PairwiseResults ComputePairs(const ObservedData& tb, const Grid<double>& weights, std::size_t maxPairs,
                             double level) {
  PairwiseResults result;
  const int R = tb.R, K = tb.K;
  result.R = R;
  result.K = K;
  if (R < 2 || K < 1) {
    result.reason = "fewer than two raters";
    return result;
  }
  if (!weights.empty() && (weights.rows() != static_cast<std::size_t>(K) || weights.cols() != weights.rows())) {
    result.reason = "the weights do not match the classes";
    return result;
  }
  const std::size_t count = PairIndex(R - 2, R - 1, R) + 1;
  if (count > maxPairs) {
    result.reason = std::to_string(R) + " raters make " + std::to_string(count) + " pairs, more than the " +
                    std::to_string(maxPairs) + " computed unless every pair is asked for";
    return result;
  }
  const std::size_t cells = static_cast<std::size_t>(K) * static_cast<std::size_t>(K);
  if (count > kMaxPairCells / cells) {
    result.reason = "the tables of " + std::to_string(count) + " pairs of raters over " + std::to_string(K) +
                    " classes would need more than " + std::to_string(kMaxPairCells) + " cells";
    return result;
  }
  result.tables.assign(count * cells, 0);
  PairCounter counter(R, K, result.tables.data());
  ForEachTuple(tb, [&counter](const std::uint16_t* values, std::uint32_t weight) { counter.Add(values, weight); });
  counter.Flush();

  const Grid<double> identity = Identity(K);
  result.pairs.reserve(count);
  if (!weights.empty()) result.weighted.reserve(count);
  // Each pair's table in turn, in the cells of the classes used (the others
  // stay 0); the sums skip only zeros.
  result.classes = ClassesUsed(tb, R, K, result.tables.data(), count);
  const std::vector<std::size_t>& used = result.classes;
  Grid<double> table(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
  for (int a = 0; a + 1 < R; ++a) {
    for (int b = a + 1; b < R; ++b) {
      const std::uint32_t* counts = result.Table(result.pairs.size());
      PairResult pair;
      pair.rater = a;
      pair.rater2 = b;
      double agreeing = 0;
      for (const std::size_t k : used) {
        for (const std::size_t l : used) {
          table[k][l] = counts[k * static_cast<std::size_t>(K) + l];
          pair.objects += table[k][l];
        }
        agreeing += table[k][k];
      }
      pair.cohen = WeightedCohenKappa(table, identity, used, level);
      if (!weights.empty()) result.weighted.push_back(WeightedCohenKappa(table, weights, used, level));
      if (pair.objects > 0) {
        pair.agreement = agreeing / pair.objects;
      } else {
        pair.cohen.kappa.reason = "no object was rated by both";
        if (!weights.empty()) result.weighted.back().kappa.reason = pair.cohen.kappa.reason;
      }
      result.pairs.push_back(std::move(pair));
    }
  }
  result.computed = true;
  return result;
}

Grid<double> PairTable(const PairwiseResults& pairs, std::size_t pair) {
  const auto K = static_cast<std::size_t>(pairs.K);
  Grid<double> table(K, K);
  const std::uint32_t* cells = pairs.Table(pair);
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) table[k][l] = cells[k * K + l];
  }
  return table;
}

LightKappa ComputeLightKappa(const ObservedData& tb, const PairwiseResults& pairs, long samples, std::uint64_t seed,
                             double maxWork, double level, unsigned threads) {
  LightKappa light;
  light.samples = samples > 0 ? samples : 0;
  light.seed = seed;
  if (!pairs.computed) {
    light.kappa.reason = pairs.reason;
    return light;
  }
  MeanKappa mean;
  for (const PairResult& pair : pairs.pairs) {
    if (pair.cohen.kappa.estimate) {
      mean.sum += *pair.cohen.kappa.estimate;
      ++mean.pairs;
    } else {
      ++light.pairsLeftOut;
    }
  }
  light.pairs = mean.pairs;
  if (mean.pairs == 0) {
    light.kappa.reason = "no pair of raters has a kappa";
    return light;
  }
  const double estimate = mean.sum / static_cast<double>(mean.pairs);
  light.kappa.value = estimate;
  if (light.samples == 0) return light;

  // The objects that a resample draws: those with two ratings or more.
  const int R = pairs.R;
  double objects = 0, tuples = 0;
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    if (std::count_if(values, values + R, [](std::uint16_t v) { return v != 0; }) < 2) return;
    objects += count;
    tuples += 1;
  });
  // Each resample adds every tuple to every pair's table, then clears and
  // reads the cells of the classes used. The bound counts all K * K cells of
  // each pair, however few the objects: more than are read when few of the
  // classes are used.
  const double perSample = tuples * (static_cast<double>(R) * (R - 1) / 2) + static_cast<double>(pairs.tables.size());
  if (perSample * static_cast<double>(light.samples) > maxWork) {
    const double fit = std::floor(maxWork / perSample);
    light.ciReason = std::to_string(light.samples) + " resamples of " + std::to_string(static_cast<long long>(tuples)) +
                     " response tuples and " + std::to_string(pairs.pairs.size()) +
                     " pairs would take too long; at most " + std::to_string(static_cast<long long>(fit)) +
                     " resamples fit";
    return light;
  }

  const std::size_t K = static_cast<std::size_t>(pairs.K);
  // A resample draws the same tuples, so its tables have no classes but
  // the pairs'. With class numbers up to hundreds and a few of them used,
  // its kappas read a few cells of each table, not K * K.
  const std::vector<std::size_t>& used = pairs.classes;
  // The mean kappa of the pairs' tables of a resample.
  auto meanKappa = [&pairs, &used, K](const std::vector<std::uint32_t>& cells) {
    std::vector<double> a(K), b(K);
    MeanKappa mean;
    for (std::size_t p = 0; p < pairs.pairs.size(); ++p) {
      if (const auto kappa = KappaOf(cells.data() + p * K * K, K, used, a, b)) {
        mean.sum += *kappa;
        ++mean.pairs;
      }
    }
    return mean;
  };
  std::vector<double> resamples;
  resamples.reserve(static_cast<std::size_t>(light.samples));
  auto keep = [&resamples, &light](const MeanKappa& resample) {
    if (resample.pairs == 0) {
      ++light.samplesLeftOut;
    } else {
      resamples.push_back(resample.sum / static_cast<double>(resample.pairs));
    }
  };
  // A resample draws each tuple's objects from one stream of random numbers,
  // tuple after tuple and resample after resample: `draw` draws the next
  // tuple's objects, `left` of them still to place among the tuples of
  // `mass` objects still to visit.
  SplitMix64 random(seed);
  auto draw = [&random, R](const std::uint16_t* values, std::uint32_t count, double& left, double& mass) {
    if (left == 0 || std::count_if(values, values + R, [](std::uint16_t v) { return v != 0; }) < 2) return 0u;
    const double hits = Binomial(random, left, count / mass);
    left -= hits;
    mass -= count;
    return static_cast<std::uint32_t>(hits);
  };

  // On several threads the draws are made here, in order, and the pairs'
  // tables of the resamples drawn, and their kappas, are counted at once,
  // each resample with its own tables and draws (at most 2^24 cells and
  // 2^24 draws in all).
  const std::size_t allTuples = TupleCount(tb);
  std::size_t batch = 1;
  if (threads > 1 && perSample * static_cast<double>(light.samples) >= kThreadedBootstrapWork) {
    const std::size_t room = kThreadedBootstrapRoom / std::max({pairs.tables.size(), allTuples, std::size_t{1}});
    batch = std::max<std::size_t>(1, std::min({static_cast<std::size_t>(threads),
                                               static_cast<std::size_t>(light.samples), room}));
  }
  if (batch == 1) {
    std::vector<std::uint32_t> cells(pairs.tables.size());
    for (long s = 0; s < light.samples; ++s) {
      ClearUsed(cells.data(), pairs.pairs.size(), K, used);
      PairCounter counter(R, pairs.K, cells.data());
      double left = objects, mass = objects;
      ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
        counter.Add(values, draw(values, count, left, mass));
      });
      counter.Flush();
      keep(meanKappa(cells));
    }
  } else {
    struct Resample {
      std::vector<std::uint32_t> hits;   // [tuple, in ForEachTuple's order]: its objects drawn
      std::vector<std::uint32_t> cells;  // the pairs' tables
      MeanKappa kappa;
    };
    std::vector<Resample> drawn(batch);
    std::vector<std::function<void()>> tasks;
    for (Resample& resample : drawn) {
      resample.hits.resize(allTuples);
      resample.cells.resize(pairs.tables.size());
      tasks.emplace_back([&resample, &tb, &pairs, &meanKappa, &used, K, R] {
        ClearUsed(resample.cells.data(), pairs.pairs.size(), K, used);
        PairCounter counter(R, pairs.K, resample.cells.data());
        std::size_t u = 0;
        ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t) { counter.Add(values, resample.hits[u++]); });
        counter.Flush();
        resample.kappa = meanKappa(resample.cells);
      });
    }
    for (long s = 0; s < light.samples; s += static_cast<long>(batch)) {
      const std::size_t now = std::min<std::size_t>(batch, static_cast<std::size_t>(light.samples - s));
      for (std::size_t i = 0; i < now; ++i) {
        double left = objects, mass = objects;
        std::size_t u = 0;
        ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
          drawn[i].hits[u++] = draw(values, count, left, mass);
        });
      }
      tasks.resize(now);  // the last batch may be smaller
      RunTasks(tasks, static_cast<unsigned>(now));
      for (std::size_t i = 0; i < now; ++i) keep(drawn[i].kappa);
    }
  }
  if (resamples.empty()) {
    light.ciReason = "no resample has a pair of raters with a kappa";
    return light;
  }
  std::sort(resamples.begin(), resamples.end());
  // At 95 % the tails are the literals 0.025 and 0.975, as for alpha.
  const bool usual = level == kDefaultLevel;
  light.ci95 = {std::max(std::min(kKappaRange.low, estimate), Quantile(resamples, usual ? 0.025 : (1 - level) / 2)),
                std::min(std::max(kKappaRange.high, estimate), Quantile(resamples, usual ? 0.975 : (1 + level) / 2))};
  return light;
}

std::vector<int> SimilarRatersOrder(const PairwiseResults& pairs) {
  const int R = pairs.R;
  if (!pairs.computed || R > kMaxOrderedRaters) return {};
  Grid<double> distance(static_cast<std::size_t>(R), static_cast<std::size_t>(R));
  for (const PairResult& pair : pairs.pairs) {
    const auto& kappa = pair.cohen.kappa.estimate;
    distance[pair.rater][pair.rater2] = distance[pair.rater2][pair.rater] = kappa ? 1 - *kappa : 1.0;
  }
  const Grid<double> between = distance;  // of single raters, for the joins
  std::vector<std::vector<int>> clusters(static_cast<std::size_t>(R));
  for (int g = 0; g < R; ++g) clusters[g] = {g};
  std::vector<bool> alive(static_cast<std::size_t>(R), true);
  for (int merges = 1; merges < R; ++merges) {
    int first = -1, second = -1;
    for (int i = 0; i < R; ++i) {
      for (int j = i + 1; j < R && alive[i]; ++j) {
        if (alive[j] && (first < 0 || distance[i][j] < distance[first][second])) first = i, second = j;
      }
    }
    // Join the two at their closest ends: second after first, either one
    // reversed where that brings closer raters together.
    std::vector<int>& a = clusters[first];
    std::vector<int>& b = clusters[second];
    const double ends[4] = {between[a.back()][b.front()], between[a.back()][b.back()],
                            between[a.front()][b.front()], between[a.front()][b.back()]};
    const int join = static_cast<int>(std::min_element(ends, ends + 4) - ends);
    if (join >= 2) std::reverse(a.begin(), a.end());
    if (join % 2 == 1) std::reverse(b.begin(), b.end());
    // Average linkage: the distance to the union weighs each part by its size.
    const double na = static_cast<double>(a.size()), nb = static_cast<double>(b.size());
    for (int k = 0; k < R; ++k) {
      if (!alive[k] || k == first || k == second) continue;
      distance[first][k] = distance[k][first] = (na * distance[first][k] + nb * distance[second][k]) / (na + nb);
    }
    a.insert(a.end(), b.begin(), b.end());
    b.clear();
    alive[second] = false;
  }
  return clusters[0];
}

Inference ScottPi(const Grid<double>& table, const Grid<double>& weights, double level) {
  Inference scott;
  const std::size_t K = weights.rows();
  if (table.rows() != K || table.cols() != K || weights.cols() != K) {
    scott.reason = "the table and the weights do not match";
    return scott;
  }
  double n = 0;
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) n += table[k][l];
  }
  if (!(n > 0)) {
    scott.reason = "there are no objects";
    return scott;
  }
  std::vector<double> a(K, 0.0), b(K, 0.0);
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) {
      a[k] += table[k][l] / n;
      b[l] += table[k][l] / n;
    }
  }
  double pa = 0, pe = 0;
  std::vector<double> pbar(K, 0.0);
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) {
      pa += weights[k][l] * (table[k][l] / n);
      pe += weights[k][l] * ((a[k] + b[k]) / 2) * ((a[l] + b[l]) / 2);
      pbar[k] += (weights[k][l] * b[l] + weights[l][k] * a[l]) / 2;
    }
  }
  if (!(1 - pe > 0)) {
    scott.reason = kOneClass;
    return scott;
  }
  const double estimate = (pa - pe) / (1 - pe);
  double spread = 0;
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) {
      const double d = weights[k][l] - (1 - estimate) * (pbar[k] + pbar[l]);
      spread += table[k][l] / n * (d * d);
    }
  }
  const double centre = pa - 2 * (1 - estimate) * pe;
  const double se = std::sqrt(DifferenceOrZero(spread, centre * centre) / (n * ((1 - pe) * (1 - pe))));
  scott.estimate = estimate;
  scott.se = se;
  scott.range = ChanceCorrectedRange(pe);
  scott.objectsUsed = n;
  scott.ci = ConfidenceInterval(estimate, se, scott.range, level);
  if (se > 0) {
    scott.z = estimate / se;
    scott.p = TwoSidedP(*scott.z);
  } else {
    scott.reason = kZeroSe;
  }
  return scott;
}

DisagreementResults ComputeDisagreement(const ObservedData& tb, const DisagreementRequest& request) {
  DisagreementResults result;
  result.pairs = ComputePairs(tb, request.weights, request.maxPairs, request.level);
  result.raterOrder = SimilarRatersOrder(result.pairs);
  result.light =
      ComputeLightKappa(tb, result.pairs, request.samples, request.seed, request.maxBootstrapWork, request.level,
                        request.threads);
  const Grid<double> weights = request.weights.empty() ? Identity(tb.K) : request.weights;
  if (request.raterParts) result.conger = ComputeCongerKappa(tb, weights, request.level);
  result.hasScott = tb.R == 2;
  if (result.hasScott) {
    if (result.pairs.computed) {
      result.scott = ScottPi(PairTable(result.pairs, 0), weights, request.level);
    } else {
      result.scott.reason = result.pairs.reason;
    }
  }
  if (request.raterParts) result.raters = ComputeRaterSummaries(tb, request.level);
  if (tb.objects.kept) {
    result.objects = ComputeObjectSummaries(tb.objects, tb.K);
  } else {
    result.objects.reason = "the objects were not kept";
  }
  return result;
}

}  // namespace zover
