// Rater pairs, Light's, Conger's and Scott's coefficients against published
// values and against what they reduce to; the pair tables of many raters
// against a plain count; the bootstrap; the adjudication order. The values
// of random data with missing ratings are checked against statsmodels and
// the peers' formulas by disagreement_check.py.

#include "kappa/pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "input/input.h"
#include "kappa/kappa.h"
#include "kappa/ordered.h"
#include "kappa/rating_patterns.h"

namespace zover {
namespace {

// The observed data of a raw table ("." a missing rating), the class tables
// built, the objects kept.
ObservedData Read(const std::string& text) {
  ObservedData tb;
  StringSource file(text);
  FileLayout layout;
  layout.missing = true;
  layout.keepObjects = true;
  const ReadOutcome read = ArchivoFrom(file, tb, "f.txt", layout);
  EXPECT_TRUE(read.ok) << read.message;
  BuildTupleTables(tb);
  return tb;
}

Grid<double> Table(const std::vector<std::vector<double>>& rows) {
  Grid<double> table(rows.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    for (std::size_t l = 0; l < rows.size(); ++l) table[k][l] = rows[k][l];
  }
  return table;
}

// Random ratings, 1 .. K, "." with probability `missing`.
std::string RandomRatings(std::mt19937& random, int K, int R, int n, double missing) {
  std::string text;
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < n; ++i) {
    const int truth = 1 + static_cast<int>(random() % K);
    for (int g = 0; g < R; ++g) {
      const int rating = unit(random) < 0.6 ? truth : 1 + static_cast<int>(random() % K);
      text += (i == 0 || !(unit(random) < missing) ? std::to_string(i == 0 ? K : rating) : ".");
      text += g + 1 < R ? " " : "\n";
    }
  }
  return text;
}

// irrCAC's documented outputs: scott2.table and kappa2.table on the table
// of the issue, conger.kappa.raw on cac.raw4raters (Krippendorff's 12
// units: its README gives 0.76282 with se 0.14917), and the weighted
// conger.kappa.raw of that data as the tests of irrCAC's Python port pin it
// to three decimals; irr's kappam.light on its diagnoses (0.459).
TEST(PairsTest, PublishedValues) {
  const Grid<double> table = Table({{13, 0, 0}, {0, 20, 7}, {0, 4, 56}});
  const Grid<double> identity3 = WeightMatrix(WeightScheme::kIdentity, ClassValues({}, 3));
  const Inference scott = ScottPi(table, identity3);
  const WeightedKappa cohen = WeightedCohenKappa(table, identity3);
  const ObservedData raw4raters = Read(testing::kKrippendorff);
  auto conger = [&](WeightScheme scheme) {
    return ComputeCongerKappa(raw4raters, WeightMatrix(scheme, ClassValues({}, 5)));
  };
  const Inference plain = conger(WeightScheme::kIdentity), linear = conger(WeightScheme::kLinear),
                  quadratic = conger(WeightScheme::kQuadratic);
  std::ifstream diagnoses(std::string(ZOVER_TEST_DATA_DIR) + "/../examples/fleiss_diagnoses.txt");
  std::stringstream text;
  text << diagnoses.rdbuf();
  const ObservedData tb = Read(text.str());
  const LightKappa light = ComputeLightKappa(tb, ComputePairs(tb, {}), 0, 1);
  struct Row {
    const char* name;
    std::optional<double> computed;
    double published, tolerance;
  };
  const Row rows[] = {
      {"Scott's pi", scott.estimate, 0.7962397, 5e-8},
      {"Scott's pi se", scott.se, 0.05905473, 5e-9},
      {"Cohen's kappa", cohen.kappa.estimate, 0.7964094, 5e-8},
      {"Cohen's kappa, Gwet's se", cohen.kappa.se, 0.05891072, 5e-9},
      {"Conger", plain.estimate, 0.76282, 5e-6},
      {"Conger se", plain.se, 0.14917, 5e-6},
      {"Conger linear", linear.estimate, 0.814, 5e-4},
      {"Conger linear se", linear.se, 0.145, 5e-4},
      {"Conger quadratic", quadratic.estimate, 0.858, 5e-4},
      {"Conger quadratic se", quadratic.se, 0.144, 5e-4},
      {"Light", light.kappa.value, 0.459, 5e-4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(row.computed.has_value());
    EXPECT_NEAR(*row.computed, row.published, row.tolerance);
  }
}

// Without missing ratings and weights, Conger's kappa is H2, and with two
// raters Light's kappa is the pair's kappa, which is Cohen's (Hubert's).
TEST(PairsTest, ReducesToH2AndCohen) {
  std::mt19937 random(32);
  for (int trial = 0; trial < 20; ++trial) {
    const int K = 2 + trial % 4, R = 2 + trial % 5;
    ObservedData tb = Read(RandomRatings(random, K, R, 30 + trial, 0));
    KappaTables tables;
    const KappaResults kappas = Kappas(tb, tables);
    DisagreementRequest request;
    request.samples = 0;
    const DisagreementResults d = ComputeDisagreement(tb, request);
    SCOPED_TRACE(trial);
    ASSERT_TRUE(d.conger.estimate && d.light.kappa.value);
    if (R > 2) {
      EXPECT_NEAR(*d.conger.estimate, kappas.h2, 1e-12);
    } else {
      EXPECT_NEAR(*d.light.kappa.value, kappas.hubert.estimate, 1e-12);
      EXPECT_NEAR(*d.pairs.pairs[0].cohen.kappa.se, kappas.hubert.se, 1e-12);
    }
  }
}

// Beyond a few dozen raters the tables are counted a block of raters and a
// chunk of tuples at a time: every cell as a plain count gives it.
TEST(PairsTest, TablesOfManyRatersCountEveryPair) {
  std::mt19937 random(150);
  const int K = 4, R = 150, n = 3000;
  const std::string text = RandomRatings(random, K, R, n, 0.2);
  const ObservedData tb = Read(text);
  const PairwiseResults pairs = ComputePairs(tb, {}, SIZE_MAX);
  ASSERT_TRUE(pairs.computed) << pairs.reason;
  std::vector<std::uint32_t> expected(pairs.tables.size(), 0);
  for (std::size_t o = 0; o < tb.objects.size(); ++o) {
    const std::uint16_t* x = tb.objects.Ratings(o);
    for (int a = 0; a < R; ++a) {
      for (int b = a + 1; b < R; ++b) {
        if (x[a] && x[b]) ++expected[PairIndex(a, b, R) * K * K + (x[a] - 1) * K + (x[b] - 1)];
      }
    }
  }
  EXPECT_TRUE(pairs.tables == expected);

  struct Cap {
    const char* name;
    std::size_t maxPairs;
    int K;
  };
  for (const Cap& cap : {Cap{"more pairs than asked for", 11174, K}, Cap{"tables too large", SIZE_MAX, 110}}) {
    SCOPED_TRACE(cap.name);
    ObservedData wide = tb;
    wide.K = cap.K;
    const PairwiseResults left = ComputePairs(wide, {}, cap.maxPairs);
    EXPECT_FALSE(left.computed);
    EXPECT_FALSE(left.reason.empty());
    EXPECT_TRUE(left.tables.empty());
    EXPECT_EQ(ComputeLightKappa(wide, left, 10, 1).kappa.reason, left.reason);
  }
}

// Up to 7 classes the raters' summaries and Conger's kappa work out each
// tally once and look it up for its tuples; beyond, tuple by tuple. The
// same data as 8 classes, the eighth unused, must give the same bits.
TEST(PairsTest, TalliesWorkedOutOnceGiveTheBitsOfEachTuple) {
  std::mt19937 random(77);
  const ObservedData tb = Read(RandomRatings(random, 5, 6, 4000, 0.3));
  ObservedData wide = tb;
  wide.K = 8;
  auto same = [](const Inference& a, const Inference& b) {
    EXPECT_EQ(a.estimate, b.estimate);
    EXPECT_EQ(a.se, b.se);
    EXPECT_TRUE(a.estimate && a.se);
  };
  same(ComputeCongerKappa(tb, {}), ComputeCongerKappa(wide, {}));
  const std::vector<RaterSummary> once = ComputeRaterSummaries(tb), each = ComputeRaterSummaries(wide);
  for (std::size_t g = 0; g < once.size(); ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(once[g].objects, each[g].objects);
    EXPECT_TRUE(std::equal(once[g].counts.begin(), once[g].counts.end(), each[g].counts.begin()));
    EXPECT_EQ(once[g].majorityAgreement, each[g].majorityAgreement);
    same(once[g].fleissWithout, each[g].fleissWithout);
  }
}

// The percentile interval holds the estimate and is the same for the same
// seed, on any threads; a bootstrap beyond its limit says how many resamples fit, the cells
// of the pairs' tables counted: 20 objects of 100 classes stay within the
// limit only if the tables' 3 * 100^2 cells a resample are forgotten.
TEST(PairsTest, LightsBootstrap) {
  std::mt19937 random(7);
  const ObservedData tb = Read(RandomRatings(random, 3, 4, 60, 0.2));
  const PairwiseResults pairs = ComputePairs(tb, {});
  const LightKappa first = ComputeLightKappa(tb, pairs, 200, 5), again = ComputeLightKappa(tb, pairs, 200, 5),
                   other = ComputeLightKappa(tb, pairs, 200, 6);
  ASSERT_TRUE(first.ci95 && other.ci95 && first.kappa.value);
  EXPECT_EQ(first.pairs, 6);
  EXPECT_LT(first.ci95->first, *first.kappa.value);
  EXPECT_GT(first.ci95->second, *first.kappa.value);
  EXPECT_EQ(first.ci95, again.ci95);
  EXPECT_NE(first.ci95, other.ci95);
  // Enough work for resamples counted on several threads (200 in batches
  // of 3, the last of 2): the same interval bit for bit as on one.
  const ObservedData many = Read(RandomRatings(random, 4, 20, 400, 0.1));
  const PairwiseResults manyPairs = ComputePairs(many, {});
  const LightKappa one = ComputeLightKappa(many, manyPairs, 200, 5, kMaxBootstrapWork, kDefaultLevel, 1),
                   three = ComputeLightKappa(many, manyPairs, 200, 5, kMaxBootstrapWork, kDefaultLevel, 3);
  ASSERT_TRUE(one.ci95);
  EXPECT_EQ(one.ci95, three.ci95);
  EXPECT_EQ(one.samplesLeftOut, three.samplesLeftOut);
  const ObservedData manyClasses = Read(RandomRatings(random, 100, 3, 20, 0));
  for (const LightKappa& limited : {ComputeLightKappa(tb, pairs, 200, 5, 1000),
                                    ComputeLightKappa(manyClasses, ComputePairs(manyClasses, {}), 200, 5, 1e6)}) {
    EXPECT_FALSE(limited.ci95);
    EXPECT_NE(limited.ciReason.find("at most"), std::string::npos) << limited.ciReason;
  }
}

// Class 4 read as 400: the pairs' tables have 400 x 400 cells, of which the
// kappas read only those of the four classes used. Every pair's kappa and
// standard error, Light's kappa and its interval are the same to the bit.
TEST(PairsTest, FarClassNumbersChangeNoValue) {
  std::mt19937 random(11);
  const std::string text = RandomRatings(random, 4, 5, 80, 0.2);
  std::string far;
  for (const char c : text) far += c == '4' ? std::string("400") : std::string(1, c);
  const ObservedData near = Read(text), wide = Read(far);
  const PairwiseResults nearPairs = ComputePairs(near, {}), widePairs = ComputePairs(wide, {});
  ASSERT_EQ(widePairs.K, 400);
  ASSERT_EQ(nearPairs.pairs.size(), widePairs.pairs.size());
  for (std::size_t p = 0; p < nearPairs.pairs.size(); ++p) {
    EXPECT_EQ(nearPairs.pairs[p].cohen.kappa.estimate, widePairs.pairs[p].cohen.kappa.estimate) << p;
    EXPECT_EQ(nearPairs.pairs[p].cohen.kappa.se, widePairs.pairs[p].cohen.kappa.se) << p;
    EXPECT_EQ(nearPairs.pairs[p].cohen.se0, widePairs.pairs[p].cohen.se0) << p;
  }
  const LightKappa nearLight = ComputeLightKappa(near, nearPairs, 100, 3),
                   wideLight = ComputeLightKappa(wide, widePairs, 100, 3);
  ASSERT_TRUE(nearLight.ci95);
  EXPECT_EQ(nearLight.kappa.value, wideLight.kappa.value);
  EXPECT_EQ(nearLight.ci95, wideLight.ci95);
}

// Two groups of raters, interleaved, whose members agree with each other
// only: each group sits together.
TEST(PairsTest, SimilarRatersSitTogether) {
  PairwiseResults pairs;
  pairs.computed = true;
  pairs.R = 6;
  for (int a = 0; a < 6; ++a) {
    for (int b = a + 1; b < 6; ++b) {
      PairResult pair;
      pair.rater = a;
      pair.rater2 = b;
      if (a != 0 || b != 4) pair.cohen.kappa.estimate = a % 2 == b % 2 ? 0.8 + 0.01 * a : 0.1;
      pairs.pairs.push_back(pair);
    }
  }
  const std::vector<int> order = SimilarRatersOrder(pairs);
  ASSERT_EQ(order.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(order[i] % 2, order[i < 3 ? 0 : 5] % 2) << i;
  pairs.R = kMaxOrderedRaters + 1;
  EXPECT_TRUE(SimilarRatersOrder(pairs).empty());
}

// The adjudication list: lowest share of agreeing pairs first, then the
// lowest share of the leading class, then file order; fewer than two
// ratings last.
TEST(PairsTest, MostDisputedObjectsFirst) {
  const ObservedData tb = Read("1 1 1 1\n1 1 2 2\n1 2 3 .\n1 . . .\n1 1 2 3\n2 2 2 1\n1 2 3 3\n");
  const ObjectResults objects = ComputeObjectSummaries(tb.objects, 3);
  struct Expected {
    std::size_t object;
    std::optional<double> agreeingPairs;
    std::optional<int> mode;
    double modeShare;
  };
  const Expected expected[] = {
      {2, 0.0, std::nullopt, 1.0 / 3},  // 1 2 3: no pair agrees
      {4, 1.0 / 6, 0, 0.5},             // 1 1 2 3 and 1 2 3 3 alike: file order
      {6, 1.0 / 6, 2, 0.5},
      {1, 2.0 / 6, std::nullopt, 0.5},  // 1 1 2 2: a tie
      {5, 3.0 / 6, 1, 0.75},
      {0, 1.0, 0, 1.0},
      {3, std::nullopt, 0, 1.0},        // one rating
  };
  ASSERT_EQ(objects.disputed.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const ObjectSummary& s = objects.disputed[i];
    const Expected& e = expected[i];
    EXPECT_EQ(s.object, e.object);
    EXPECT_EQ(s.agreeingPairs, e.agreeingPairs);
    EXPECT_EQ(s.mode, e.mode);
    EXPECT_DOUBLE_EQ(s.modeShare, e.modeShare);
    EXPECT_EQ(s.unanimous, e.object == 0);
  }
}

}  // namespace
}  // namespace zover
