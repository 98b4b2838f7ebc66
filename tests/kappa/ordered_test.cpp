// The coefficients of ordered classes against published values, against
// the unweighted coefficients they reduce to, and the bootstrap of
// Krippendorff's alpha and its binomial sampler.

#include "kappa/ordered.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kappa/random.h"
#include "kappa/rating_patterns.h"

namespace zover {
namespace {

constexpr double kTolerance = 1e-12;  // for values computed here

using testing::kKrippendorff;
using testing::Patterns;

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
  return *ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, 5), level, 0, 0).alpha.value;
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
      {"SAS CI low", sas.kappa.ci95->first, 0.1845, four},
      {"SAS CI high", sas.kappa.ci95->second, 0.7558, four},
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
        ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, K), AlphaLevel::kNominal, 0, 0);
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
    return ComputeLeveledAlpha(PatternsOf(patterns), ClassValues({}, 5), AlphaLevel::kInterval, 1000, seed);
  };
  double width = 3;
  for (const double copies : {1.0, 4.0, 16.0, 1e6}) {
    SCOPED_TRACE(copies);
    const LeveledAlpha a = interval(copies, 1);
    ASSERT_TRUE(a.ci95.has_value());
    EXPECT_LE(a.ci95->first, *a.alpha.value);
    EXPECT_GE(a.ci95->second, *a.alpha.value);
    EXPECT_LT(a.ci95->second - a.ci95->first, width / 1.5);  // about half as wide for 4 times the data
    width = a.ci95->second - a.ci95->first;
    EXPECT_EQ(interval(copies, 1).ci95, a.ci95);
    EXPECT_NE(interval(copies, 2).ci95, a.ci95);
  }
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
