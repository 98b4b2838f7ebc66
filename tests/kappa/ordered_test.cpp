// The coefficients of ordered classes against published values, against
// the unweighted coefficients they reduce to, and the bootstrap of
// Krippendorff's alpha and its binomial sampler.

#include "kappa/ordered.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "kappa/random.h"
#include "kappa/rating_patterns.h"

namespace zover {
namespace {

constexpr double kTolerance = 1e-12;  // for values computed here

using testing::kKrippendorff;
using testing::Patterns;

// 8 objects by 3 raters, "." missing, classes 1..7 standing for the values 0,
// 0.5, 1, 2, 2.5, 3 and 8, with their weighted Fleiss' kappa (Gwet's form)
// and Brennan-Prediger under quadratic weights, worked out in Python from
// irrCAC's formulas.
constexpr const char* kWeightedBelowMinusOne =
    ". . 2\n1 . 7\n5 7 .\n. 7 1\n. . 6\n2 6 3\n6 . .\n. 2 6\n";
constexpr double kEightFleiss = -1.2667603654251576;
constexpr double kEightFleissFloor = -3.317638791286014;
constexpr double kEightBp = -1.721322314049587;

Grid<double> Table(const std::vector<std::vector<double>>& rows) {
  Grid<double> table(rows.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    for (std::size_t l = 0; l < rows.size(); ++l) table[k][l] = rows[k][l];
  }
  return table;
}

Grid<double> Weights(WeightScheme scheme, int K) { return WeightMatrix(scheme, ClassValues({}, K)); }

double Alpha(const std::string& data, AlphaLevel level) {
  const auto patterns = Patterns(data);
  return *ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, 5), level).alpha.value;
}

TEST(OrderedCoefficientsTest, PublishedChecks) {
  // SAS's weighted kappa with linear weights, as statsmodels' tests pin it.
  const WeightedKappa sas =
      WeightedCohenKappa(Table({{0, 4, 1}, {0, 8, 0}, {0, 1, 5}}), Weights(WeightScheme::kLinear, 3));
  // Gwet's family with weights on Krippendorff's data, worked out independently
  // with NumPy from irrCAC's formulas.
  const auto kripp = Patterns(kKrippendorff);
  const WeightedAgreement linear =
      ComputeWeightedCoefficients(PatternsOf(kripp), Weights(WeightScheme::kLinear, 5));
  const WeightedAgreement quadratic =
      ComputeWeightedCoefficients(PatternsOf(kripp), Weights(WeightScheme::kQuadratic, 5));
  struct Row {
    const char* name;
    std::optional<double> computed;
    double published;
    double tolerance;
  };
  const double four = 0.5e-4, three = 0.5e-3;
  const Row rows[] = {
      {"SAS kappa", sas.kappa.estimate, 0.4701, four},
      {"SAS ASE", sas.kappa.se, 0.1457, four},
      {"SAS CI low", sas.kappa.ci->first, 0.1845, four},
      {"SAS CI high", sas.kappa.ci->second, 0.7558, four},
      {"SAS ASE under H0", sas.se0, 0.1426, four},
      {"SAS z", sas.kappa.z, 3.2971, four},
      {"SAS p", sas.kappa.p, 0.0010, four},
      {"Krippendorff nominal", Alpha(kKrippendorff, AlphaLevel::kNominal), 0.743, three},
      {"Krippendorff ordinal", Alpha(kKrippendorff, AlphaLevel::kOrdinal), 0.815, three},
      {"Krippendorff interval", Alpha(kKrippendorff, AlphaLevel::kInterval), 0.849, three},
      {"Krippendorff ratio", Alpha(kKrippendorff, AlphaLevel::kRatio), 0.797, three},
      {"linear pa", linear.percentAgreement.estimate, 0.9393939393939394, kTolerance},
      {"linear pa se", linear.percentAgreement.se, 0.09367910264110153, kTolerance},
      {"linear bp", linear.brennanPrediger.estimate, 0.8484848484848486, kTolerance},
      {"linear bp se", linear.brennanPrediger.se, 0.1233561244941025, kTolerance},
      {"linear ac2", linear.gwetAc2.estimate, 0.8587391364326115, kTolerance},
      {"linear ac2 se", linear.gwetAc2.se, 0.11732902188136356, kTolerance},
      {"linear fleiss", linear.fleissGeneral.estimate, 0.8179447670973097, kTolerance},
      {"linear fleiss se", linear.fleissGeneral.se, 0.14850435549945082, kTolerance},
      {"quadratic ac2", quadratic.gwetAc2.estimate, 0.9140007235516047, kTolerance},
      {"quadratic ac2 se", quadratic.gwetAc2.se, 0.10396224464505995, kTolerance},
      {"quadratic fleiss", quadratic.fleissGeneral.estimate, 0.8649350649350647, kTolerance},
      {"quadratic fleiss se", quadratic.fleissGeneral.se, 0.14603361075691243, kTolerance},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(row.computed.has_value());
    EXPECT_NEAR(*row.computed, row.published, row.tolerance);
  }
}

// With identity weights every weighted coefficient is its unweighted form,
// with its standard error, z and p.
TEST(OrderedCoefficientsTest, IdentityWeightsGiveTheUnweighted) {
  const std::pair<const char*, int> sets[] = {
      {kKrippendorff, 5}, {"1 2 2\n2 2 2\n3 3 1\n1 1 1\n2 3 3\n", 3}, {"1 1\n1 2\n2 2\n3 3\n2 3\n1 1\n", 3}};
  auto expectSame = [](const Inference& weighted, const Inference& plain) {
    for (const auto& [a, b] : {std::pair(weighted.estimate, plain.estimate), std::pair(weighted.se, plain.se),
                               std::pair(weighted.z, plain.z), std::pair(weighted.p, plain.p)}) {
      ASSERT_EQ(a.has_value(), b.has_value());
      if (a) {
        EXPECT_NEAR(*a, *b, kTolerance);
      }
    }
    EXPECT_EQ(weighted.reason, plain.reason);
  };
  for (const auto& [data, K] : sets) {
    SCOPED_TRACE(data);
    const auto patterns = Patterns(data);
    const AgreementCoefficients plain = ComputeAgreementCoefficients(PatternsOf(patterns), K);
    const WeightedAgreement weighted =
        ComputeWeightedCoefficients(PatternsOf(patterns), Weights(WeightScheme::kIdentity, K));
    expectSame(weighted.percentAgreement, plain.percentAgreement);
    expectSame(weighted.brennanPrediger, plain.brennanPrediger);
    expectSame(weighted.gwetAc2, plain.gwetAc1);
    expectSame(weighted.fleissGeneral, plain.fleissGeneral);
    const LeveledAlpha nominal =
        ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, K), AlphaLevel::kNominal);
    EXPECT_NEAR(*nominal.alpha.value, *plain.krippendorffAlpha.value, kTolerance);
  }
  // Cohen's kappa of [[20, 5], [10, 15]] and its null test, from statsmodels
  // 0.13.5 as in the unweighted tests; the standard error from its std_kappa.
  const WeightedKappa cohen = WeightedCohenKappa(Table({{20, 5}, {10, 15}}), Weights(WeightScheme::kIdentity, 2));
  EXPECT_NEAR(*cohen.kappa.estimate, 0.3999999999999999, kTolerance);
  EXPECT_NEAR(*cohen.se0, 0.13856406460551018, kTolerance);
  EXPECT_NEAR(*cohen.kappa.se, 0.12699606293110033, kTolerance);
}

TEST(OrderedCoefficientsTest, BootstrapInterval) {
  auto interval = [](double copies, std::uint64_t seed) {
    const auto patterns = Patterns(kKrippendorff, copies);
    return ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, 5), AlphaLevel::kInterval, {1000, seed});
  };
  double width = 3;
  for (const double copies : {1.0, 4.0, 16.0, 1e6}) {
    SCOPED_TRACE(copies);
    const LeveledAlpha a = interval(copies, 1);
    ASSERT_TRUE(a.ci.has_value());
    EXPECT_LE(a.ci->first, *a.alpha.value);
    EXPECT_GE(a.ci->second, *a.alpha.value);
    EXPECT_LT(a.ci->second - a.ci->first, width / 1.5);  // about half as wide for 4 times the data
    width = a.ci->second - a.ci->first;
    EXPECT_EQ(interval(copies, 1).ci, a.ci);
    EXPECT_NE(interval(copies, 2).ci, a.ci);
  }
}

// Krippendorff's alpha at every level as the coincidences give it, in
// O(K^2): the form the program's O(K) sums must equal.
double CoincidenceAlpha(const std::vector<RatingPattern>& patterns, const std::vector<double>& x, AlphaLevel level) {
  const std::size_t K = x.size();
  Grid<double> o(K, K);
  for (const RatingPattern& p : patterns) {
    int r = 0;
    for (const auto& [c, rc] : p.counts) r += rc;
    if (r < 2) continue;
    for (const auto& [c, rc] : p.counts)
      for (const auto& [k, rk] : p.counts) o[c][k] += p.weight * rc * (c == k ? rk - 1 : rk) / (r - 1);
  }
  std::vector<double> n(K, 0.0);
  double total = 0;
  for (std::size_t c = 0; c < K; ++c) {
    for (std::size_t k = 0; k < K; ++k) n[c] += o[c][k];
    total += n[c];
  }
  double observed = 0, expected = 0;
  for (std::size_t c = 0; c < K; ++c) {
    for (std::size_t k = 0; k < K; ++k) {
      double d = c == k ? 0 : 1;
      if (level == AlphaLevel::kInterval) d = x[c] - x[k];
      if (level == AlphaLevel::kRatio && c != k) d = (x[c] - x[k]) / (x[c] + x[k]);
      if (level == AlphaLevel::kOrdinal && c != k) {  // the classes between, by value
        d = -(n[c] + n[k]) / 2;
        for (std::size_t g = 0; g < K; ++g)
          if (x[g] >= std::min(x[c], x[k]) && x[g] <= std::max(x[c], x[k])) d += n[g];
      }
      observed += o[c][k] * d * d;
      expected += n[c] * n[k] * d * d;
    }
  }
  return 1 - observed / (expected / (total - 1));
}

// Random data, missing ratings, class values out of order (some negative for
// the levels that allow them): every level equals the coincidence form.
TEST(OrderedCoefficientsTest, AlphaAtEveryLevelEqualsTheCoincidenceForm) {
  std::mt19937_64 rng(36);
  auto below = [&rng](int k) { return static_cast<int>(rng() % static_cast<std::uint64_t>(k)); };
  double worst = 0;
  for (int set = 0; set < 200; ++set) {
    const int K = 2 + below(40), R = 2 + below(6), n = 3 + below(60);
    std::vector<double> x(static_cast<std::size_t>(K));
    for (int k = 0; k < K; ++k) x[k] = k + 1 + below(3) * 1e3 * (set % 2);
    std::shuffle(x.begin(), x.end(), rng);
    if (set % 3 == 0) x[0] = -2.5;
    std::string data;
    for (int i = 0; i < n; ++i) {
      const int truth = below(K);
      for (int r = 0; r < R; ++r)
        data += below(5) == 0 ? ". " : std::to_string(1 + (below(2) ? truth : below(K))) + " ";
      data += "\n";
    }
    const auto patterns = Patterns(data);
    for (AlphaLevel level : {AlphaLevel::kNominal, AlphaLevel::kOrdinal, AlphaLevel::kInterval, AlphaLevel::kRatio}) {
      const LeveledAlpha a = ComputeLeveledAlpha(PatternsOf(patterns), x, level);
      if (level == AlphaLevel::kRatio && x[0] < 0) {
        EXPECT_FALSE(a.alpha.value.has_value());
        continue;
      }
      const double want = CoincidenceAlpha(patterns, x, level);
      if (!std::isfinite(want)) continue;
      ASSERT_TRUE(a.alpha.value.has_value()) << set << " " << a.alpha.reason;
      worst = std::max(worst, std::fabs(*a.alpha.value - want) / std::max(1.0, std::fabs(want)));
    }
  }
  EXPECT_LT(worst, 1e-13);
}

// The cases the intervals were mended for, one table: the bootstrap's two
// methods, the levels, the ranges of the weighted coefficients and the
// ordinal level on numeric classes listed out of order.
TEST(OrderedCoefficientsTest, IntervalsMeanWhatTheySay) {
  const auto kripp = Patterns(kKrippendorff);
  const std::vector<double> values = ClassValues({}, 5);
  auto leveled = [&kripp, &values](AlphaLevel level, AlphaBootstrap b) {
    return ComputeLeveledAlpha(PatternsOf(kripp), values, level, b);
  };
  // The pairs method gives the interval it always gave (from the release
  // before the objects method).
  const LeveledAlpha pairs = leveled(AlphaLevel::kInterval, {1000, 1, BootstrapMethod::kPairs});
  EXPECT_EQ(pairs.ci, std::make_pair(0.7098214285714286, 0.9479129464285713));
  // The objects method: the same for the same seed, another for another, the
  // estimate inside, and at 90 % inside the 95 % interval.
  const LeveledAlpha objects = leveled(AlphaLevel::kInterval, {1000, 1});
  ASSERT_TRUE(objects.ci.has_value());
  EXPECT_EQ(leveled(AlphaLevel::kInterval, {1000, 1}).ci, objects.ci);
  EXPECT_NE(leveled(AlphaLevel::kInterval, {1000, 2}).ci, objects.ci);
  EXPECT_LT(objects.ci->first, *objects.alpha.value);
  EXPECT_GT(objects.ci->second, *objects.alpha.value);
  const LeveledAlpha ninety = leveled(AlphaLevel::kInterval, {1000, 1, BootstrapMethod::kObjects, 0.9});
  EXPECT_GT(ninety.ci->first, objects.ci->first);
  EXPECT_LT(ninety.ci->second, objects.ci->second);
  EXPECT_EQ(objects.alpha.objectsUsed, 11);  // the units with two ratings or more
  // One stream of resamples serves every level: asking for two gives each
  // the interval it has alone.
  const auto both = ComputeLeveledAlphas(PatternsOf(kripp), values, {AlphaLevel::kOrdinal, AlphaLevel::kInterval},
                                         {1000, 1});
  EXPECT_EQ(both[1].ci, objects.ci);
  EXPECT_EQ(both[0].ci, leveled(AlphaLevel::kOrdinal, {1000, 1}).ci);

  // Numeric classes listed as 3,1,2,4,5: class 0 is the label 3, and so on.
  // Ordinal alpha follows the values, as Krippendorff's own order does.
  std::vector<RatingPattern> relabelled = kripp;
  const int index[] = {1, 2, 0, 3, 4};  // of the classes 1..5 in the list 3,1,2,4,5
  for (RatingPattern& p : relabelled) {
    for (auto& [c, rc] : p.counts) c = index[c];
    std::sort(p.counts.begin(), p.counts.end());
  }
  const double ordinal =
      *ComputeLeveledAlpha(PatternsOf(relabelled), {3, 1, 2, 4, 5}, AlphaLevel::kOrdinal).alpha.value;
  EXPECT_NEAR(ordinal, 0.8153875037548814, 1e-13);

  // 8 objects, 3 raters, missing ratings, classes 0, 0.5, 1, 2, 2.5, 3, 8 with
  // quadratic weights: weighted Fleiss (Gwet's form) and Brennan-Prediger lie
  // below -1, and their intervals reach below their estimates, down to
  // their floors -pe / (1 - pe) at most.
  const auto eight = Patterns(kWeightedBelowMinusOne);
  const Grid<double> quadratic = WeightMatrix(WeightScheme::kQuadratic, {0, 0.5, 1, 2, 2.5, 3, 8});
  const WeightedAgreement w = ComputeWeightedCoefficients(PatternsOf(eight), quadratic);
  const WeightedAgreement w90 = ComputeWeightedCoefficients(PatternsOf(eight), quadratic, 0.9);
  struct Case {
    const char* name;
    const Inference& g;
    const Inference& at90;
    double estimate, floor;
  };
  const Case cases[] = {
      {"fleiss", w.fleissGeneral, w90.fleissGeneral, kEightFleiss, kEightFleissFloor},
      {"brennan-prediger", w.brennanPrediger, w90.brennanPrediger, kEightBp, -4.183471074380166},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.g.ci.has_value());
    EXPECT_NEAR(*c.g.estimate, c.estimate, 1e-12);
    EXPECT_NEAR(c.g.range.low, c.floor, 1e-12);
    EXPECT_LT(c.g.ci->first, std::min(-1.0, *c.g.estimate));
    EXPECT_EQ(c.g.ci->first, std::max(c.floor, *c.g.estimate - kNormal975 * *c.g.se));
    EXPECT_EQ(c.g.objectsUsed, 8);
    // --level 0.9 shortens the interval by 1.6449 / 1.9600 (where no end is cut).
    EXPECT_NEAR((c.at90.ci->second - *c.g.estimate) / (c.g.ci->second - *c.g.estimate),
                1.6448536269514728 / kNormal975, 1e-14);
  }
  // The two-sided normal points: the 95 % one is the constant the program has
  // always printed with; the others to a few units in the last place.
  EXPECT_EQ(TwoSidedNormalPoint(0.95), kNormal975);
  // (Points of the doubles nearest the levels, from a 30-digit erfinv.)
  for (const auto& [level, point] : {std::pair(0.9, 1.6448536269514728), std::pair(0.99, 2.5758293035489005),
                                     std::pair(0.5, 0.67448975019608174), std::pair(0.999999, 4.8916384756929318)}) {
    EXPECT_NEAR(TwoSidedNormalPoint(level) / point, 1, 1e-15) << level;
  }
  EXPECT_TRUE(std::isnan(TwoSidedNormalPoint(1)));
}

// The binomial sampler's mean and variance over many draws, by inversion
// (n p < 10) and by rejection, with p on both sides of 1/2.
TEST(BinomialTest, MeanAndVariance) {
  const std::pair<double, double> cases[] = {{1, 0.3}, {20, 0.3}, {200, 0.04}, {100, 0.5}, {1000, 0.93}, {1e12, 0.2}};
  SplitMix64 random(7);
  for (const auto& [n, p] : cases) {
    SCOPED_TRACE(n);
    constexpr int kDraws = 20000;
    double sum = 0, squares = 0;
    for (int i = 0; i < kDraws; ++i) {
      const double x = Binomial(random, n, p);
      ASSERT_TRUE(x >= 0 && x <= n && x == std::floor(x));
      sum += x;
      squares += x * x;
    }
    const double mean = sum / kDraws, variance = squares / kDraws - mean * mean, expected = n * p * (1 - p);
    EXPECT_NEAR(mean, n * p, 5 * std::sqrt(expected / kDraws));
    EXPECT_NEAR(variance / expected, 1, 0.05);
  }
}

}  // namespace
}  // namespace zover
