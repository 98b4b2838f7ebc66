// The agreement coefficients and null tests against published values, a peer
// library, and identities that tie them to each other and to the program's
// own Fleiss' kappa.

#include "kappa/coefficients.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "console/format.h"
#include "input/input.h"
#include "kappa/detail.h"
#include "kappa/kappa.h"
#include "kappa/rating_patterns.h"

namespace zover {
namespace {

constexpr double kTolerance = 1e-12;  // for values computed here

using testing::kKrippendorff;
using testing::Patterns;

std::string DiagnosesFile() {
  std::ifstream file(std::string(ZOVER_TEST_DATA_DIR) + "/../examples/fleiss_diagnoses.txt");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Estimate, standard error (null or not) and reason of every result, by name.
struct Summary {
  std::optional<double> estimate, se;
  std::string reason;
};

std::map<std::string, Summary> Summaries(const std::string& data, int K, int R) {
  const AgreementCoefficients c = ComputeAgreementCoefficients(PatternsOf(Patterns(data)), K);
  const FleissNullTests f = ComputeFleissNullTests(PatternsOf(Patterns(data)), K, R);
  auto of = [](const Inference& i) { return Summary{i.estimate, i.se, i.reason}; };
  std::map<std::string, Summary> s = {
      {"pa", of(c.percentAgreement)}, {"bp", of(c.brennanPrediger)},
      {"ac1", of(c.gwetAc1)},         {"fleiss", of(c.fleissGeneral)},
      {"alpha", {c.krippendorffAlpha.value, std::nullopt, c.krippendorffAlpha.reason}},
      {"kappa0", {f.kappa.estimate, f.kappa.se0, f.kappa.reason}}};
  for (std::size_t k = 0; k < f.perClass.size(); ++k) {
    s["class" + std::to_string(k + 1)] = {f.perClass[k].estimate, f.perClass[k].se0, f.perClass[k].reason};
  }
  return s;
}

void ExpectNear(const std::optional<double>& actual, const std::optional<double>& expected) {
  ASSERT_EQ(actual.has_value(), expected.has_value());
  if (expected) {
    EXPECT_NEAR(*actual, *expected, kTolerance);
  }
}

TEST(AgreementCoefficientsTest, PublishedChecks) {
  const FleissNullTests fleiss = ComputeFleissNullTests(PatternsOf(Patterns(DiagnosesFile())), 5, 6);
  // Fleiss (1971) and Fleiss, Nee and Landis (1979); Krippendorff (2011).
  std::vector<std::tuple<std::string, std::optional<double>, double, int>> rows = {
      {"Fleiss kappa", fleiss.kappa.estimate, 0.4302, 4},
      {"Fleiss z", fleiss.kappa.z, 17.65, 2},
      {"Krippendorff alpha", ComputeAgreementCoefficients(PatternsOf(Patterns(kKrippendorff)), 5).krippendorffAlpha.value,
       0.743, 3}};
  const double classKappa[] = {0.245, 0.245, 0.520, 0.471, 0.566};
  const double classZ[] = {5.19, 5.19, 11.03, 9.99, 12.01};
  for (int k = 0; k < 5; ++k) {
    rows.emplace_back("class " + std::to_string(k + 1), fleiss.perClass[k].estimate, classKappa[k], 3);
    rows.emplace_back("class " + std::to_string(k + 1) + " z", fleiss.perClass[k].z, classZ[k], 2);
  }
  for (const auto& [name, computed, published, decimals] : rows) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(computed.has_value());
    EXPECT_NEAR(*computed, published, 0.5 * std::pow(10.0, -decimals));
  }
}

// Without missing ratings Fleiss' kappa of Gwet's form is the classical one,
// and the program prints it with the standard error of divisor n^2, not
// n (n - 1).
TEST(AgreementCoefficientsTest, DiagnosesAgreeWithTheProgramsFleissKappa) {
  const auto s = Summaries(DiagnosesFile(), 5, 6);
  EXPECT_NEAR(*s.at("fleiss").estimate, *s.at("kappa0").estimate, kTolerance);
  ObservedData tb;
  StringSource in(DiagnosesFile());
  ASSERT_TRUE(ArchivoFrom(in, tb).ok);
  BuildTupleTables(tb);
  const KappaEstimate fleiss = coefficientFleiss(tb).kappa;
  EXPECT_NEAR(fleiss.estimate, *s.at("fleiss").estimate, kTolerance);
  EXPECT_NEAR(fleiss.se, *s.at("fleiss").se * std::sqrt(29.0 / 30), kTolerance);
}

TEST(AgreementCoefficientsTest, SmallDataAndMissingRatings) {
  struct Case {
    const char* name;
    std::string data;
    int K, R;
    const char* result;
    std::optional<double> estimate, se;
    const char* reason;
  };
  const std::string blank = std::string(kKrippendorff) + ". . . .\n";
  const char* const noTest = "no test against 0: raters agree by chance too";
  const Case cases[] = {
      // Gwet's family on Krippendorff's data, worked out independently with
      // NumPy from the definitions; an object nobody rated changes nothing.
      {"missing: pa", kKrippendorff, 5, 4, "pa", 0.8181818181818182, 0.12560895994686497, noTest},
      {"missing: bp", kKrippendorff, 5, 4, "bp", 0.7727272727272727, 0.14471661989948315, ""},
      {"missing: ac1", kKrippendorff, 5, 4, "ac1", 0.775444068126995, 0.1429499506407653, ""},
      {"missing: fleiss", kKrippendorff, 5, 4, "fleiss", 0.7611692754224112, 0.15301920346949238, ""},
      {"blank object: ac1", blank, 5, 4, "ac1", 0.775444068126995, 0.1429499506407653, ""},
      {"blank object: fleiss", blank, 5, 4, "fleiss", 0.7611692754224112, 0.15301920346949238, ""},
      // Only the eight complete units enter the null tests; none is in class 5,
      // which three raters gave to a unit that the fourth did not rate.
      {"missing: kappa0", kKrippendorff, 5, 4, "kappa0", 0.6414565826330532, 0.08968781319691224, ""},
      {"missing: class 5", kKrippendorff, 5, 4, "class5", std::nullopt, std::nullopt,
       "no object rated by every rater got this class"},
      // Every object lacks a different rater: pa_i = (1, 0, 1).
      {"each lacks one: pa", "1 1 .\n1 . 2\n. 2 2\n", 2, 3, "pa", 2.0 / 3, 1.0 / 3, noTest},
      {"each lacks one: kappa0", "1 1 .\n1 . 2\n. 2 2\n", 2, 3, "kappa0", std::nullopt, std::nullopt,
       "no object was rated by every rater"},
      {"one pair: pa", "1 2\n2 .\n", 2, 2, "pa", 0.0, std::nullopt, "fewer than two objects have two ratings"},
      {"no pair: ac1", "1 .\n. 2\n", 2, 2, "ac1", std::nullopt, std::nullopt, "no object has two ratings"},
      // Two raters: Brennan-Prediger is (q pa - 1) / (q - 1), pa = 3/4 and 1/2.
      {"R = 2: bp, q = 2", "1 1\n1 2\n2 2\n2 2\n", 2, 2, "bp", (2 * 0.75 - 1) / 1, 0.5, ""},
      {"R = 2: bp, q = 3", "1 2\n2 3\n3 3\n1 1\n", 3, 2, "bp", (3 * 0.5 - 1) / 2, 0.4330127018922193, ""},
      {"all agree: pa", "1 1 1\n2 2 2\n3 3 3\n", 3, 3, "pa", 1.0, 0.0, noTest},
      {"all agree: bp", "1 1 1\n2 2 2\n3 3 3\n", 3, 3, "bp", 1.0, 0.0, "the standard error is 0"},
      {"one class: ac1", "1 1\n1 1\n", 1, 2, "ac1", std::nullopt, std::nullopt, "there is only one class"},
      {"one class: bp", "1 1\n1 1\n", 1, 2, "bp", std::nullopt, std::nullopt, "there is only one class"},
      {"one class: alpha", "1 1\n1 1\n", 1, 2, "alpha", std::nullopt, std::nullopt, "every rating is in one class"},
      {"one class: kappa0", "1 1\n1 1\n", 1, 2, "kappa0", std::nullopt, std::nullopt, "every rating is in one class"},
      {"one class: class 1", "1 1\n1 1\n", 1, 2, "class1", std::nullopt, std::nullopt, "every rating is in this class"},
      {"one class of 3: fleiss", "2 2\n2 2\n", 3, 2, "fleiss", std::nullopt, std::nullopt, "every rating is in one class"},
      {"one class of 3: ac1", "2 2\n2 2\n", 3, 2, "ac1", 1.0, 0.0, "the standard error is 0"},
      {"class 3 of 2", "1 3\n1 1\n", 2, 2, "pa", std::nullopt, std::nullopt, "a rating pattern is malformed"},
      // Variances that are 0 in exact arithmetic but not in doubles.
      {"zero within rounding: fleiss", "2 2 1\n1 1 2\n1 1 2\n2 1 2\n", 2, 3, "fleiss", -1.0 / 3, 0.0,
       "the standard error is 0"},
      {"zero within rounding: ac1", "1 3 4\n1 2 3\n", 4, 3, "ac1", -13.0 / 41, 0.0, "the standard error is 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Summary s = Summaries(c.data, c.K, c.R).at(c.result);
    ExpectNear(s.estimate, c.estimate);
    ExpectNear(s.se, c.se);
    EXPECT_EQ(s.reason, c.reason);
  }
}

// Every 95 % interval stops at the ends of its measure's range, and never
// leaves out the estimate; percent agreement has no test against 0.
TEST(AgreementCoefficientsTest, IntervalsStayInTheirRange) {
  struct Case {
    const char* name;
    double estimate, se;
    Range range;
    double low, high;
  };
  const double w = kNormal975 * 0.1;
  const Case cases[] = {
      {"inside", 0.5, 0.1, kKappaRange, 0.5 - w, 0.5 + w},
      {"upper end", 0.95, 0.1, kKappaRange, 0.95 - w, 1},
      {"lower end", -0.95, 0.1, kKappaRange, -1, -0.95 + w},
      {"share", 0.05, 0.1, kShareRange, 0, 0.05 + w},
      {"model: no lower end", -3, 0.1, kModelRange, -3 - w, -3 + w},
      {"estimate outside", -1.5, 0.1, kKappaRange, -1.5, -1.5 + w},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto interval = ConfidenceInterval(c.estimate, c.se, c.range);
    EXPECT_DOUBLE_EQ(interval.first, c.low);
    EXPECT_DOUBLE_EQ(interval.second, c.high);
  }
  // pa = 3/4 with SE 1/4: 0.75 + 1.96 / 4 is cut at 1.
  const AgreementCoefficients all = ComputeAgreementCoefficients(PatternsOf(Patterns("1 1\n1 1\n2 2\n2 1\n")), 2);
  EXPECT_EQ(all.percentAgreement.ci->second, 1.0);
  EXPECT_FALSE(all.percentAgreement.z.has_value());
  EXPECT_FALSE(all.percentAgreement.p.has_value());
}

TEST(CohenNullTestTest, AgreesWithStatsmodels) {
  struct Case {
    std::vector<double> rows, cols;
    double n, kappa, se0, z, p;
  };
  // statsmodels 0.13.5, stats.inter_rater.cohens_kappa(table) with kappa,
  // std_kappa0, z_value, pvalue_two_sided, for the tables [[20, 5], [10, 15]],
  // [[10, 2, 1], [3, 12, 2], [1, 2, 9]] and [[40, 9, 1], [6, 30, 4], [0, 5, 5]].
  const Case cases[] = {
      {{0.5, 0.5}, {0.6, 0.4}, 50, 0.3999999999999999, 0.13856406460551018, 2.886751345948128, 0.0038924171227786367},
      {{13 / 42.0, 17 / 42.0, 12 / 42.0}, {14 / 42.0, 16 / 42.0, 12 / 42.0}, 42, 0.6037735849056605,
       0.1094427699625244, 5.516797364617195, 3.4523310620725044e-08},
      {{0.5, 0.4, 0.1}, {0.46, 0.44, 0.1}, 100, 0.571917808219178, 0.08002568080960697, 7.146678446633348,
       8.890279775393602e-13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const NullTest t = CohenNullTest(c.rows, c.cols, c.n, c.kappa);
    ASSERT_TRUE(t.p.has_value()) << t.reason;
    EXPECT_NEAR(*t.se0, c.se0, kTolerance);
    EXPECT_NEAR(*t.z, c.z, 1e-9);
    EXPECT_NEAR(*t.p / c.p, 1, 1e-9);
  }
  // For [[5, 3], [0, 0]] statsmodels gives se0 0 and z NaN; here z is empty.
  const NullTest degenerate = CohenNullTest({1, 0}, {5.0 / 8, 3.0 / 8}, 8, 0);
  EXPECT_EQ(degenerate.se0, 0.0);
  EXPECT_EQ(degenerate.reason, "the null standard error is 0");
  EXPECT_EQ(CohenNullTest({1, 0}, {1, 0}, 8, 0).reason, "every rating is in one class");
}

// Both tallies of a tuple's classes against a plain count, on either side of
// their limits: counts in the bytes of a word up to 8 classes (7 and a
// missing rating) and 255 raters, a bit per class up to 64 classes, a sort
// beyond. One tally object serves every tuple of a size, as the passes use
// it, so a tally that leaves counts behind shows.
TEST(ClassTallyTest, CountsEveryClassOnEitherSideOfItsLimits) {
  for (const int K : {1, 2, 7, 8, 9, 64, 65}) {
    for (const int R : {1, 10, 255, 256}) {
      ClassTally classTally(K);
      detail::RatingTally ratingTally(K);
      for (int tuple = 0; tuple < 4; ++tuple) {
        // Tuple 0 puts every rating in the last class (a full byte at 255
        // raters); the others spread them, with a missing rating (0) in
        // some places.
        std::vector<std::uint16_t> values(static_cast<std::size_t>(R));
        for (int g = 0; g < R; ++g) {
          values[g] = static_cast<std::uint16_t>(tuple == 0 ? K : 1 + (g * (tuple + 2) + tuple) % K);
        }
        std::vector<int> expected(static_cast<std::size_t>(K), 0);
        for (const std::uint16_t v : values) ++expected[v - 1];
        classTally.Tally(values.data(), R, 1);
        std::vector<int> seen(static_cast<std::size_t>(K), 0);
        for (const int k : classTally.used()) seen[k] = classTally.raters(k);
        EXPECT_EQ(seen, expected) << "ClassTally K " << K << " R " << R << " tuple " << tuple;
        EXPECT_TRUE(std::is_sorted(classTally.used().begin(), classTally.used().end()));

        for (int g = tuple; g < R; g += 3) values[g] = 0;
        std::vector<int> rated(static_cast<std::size_t>(K), 0);
        int ratings = 0;
        for (const std::uint16_t v : values) {
          if (v != 0) ++rated[v - 1], ++ratings;
        }
        ratingTally.Tally(values.data(), R);
        std::vector<int> tallied(static_cast<std::size_t>(K), 0);
        for (const int k : ratingTally.used()) tallied[k] = ratingTally.raters(k);
        EXPECT_EQ(tallied, rated) << "RatingTally K " << K << " R " << R << " tuple " << tuple;
        EXPECT_EQ(ratingTally.rated(), ratings);
        EXPECT_TRUE(std::is_sorted(ratingTally.used().begin(), ratingTally.used().end()));
        for (const int k : ratingTally.used()) EXPECT_GT(ratingTally.raters(k), 0);
      }
    }
  }
}

// Tallies are numbered in the order they are first met, whichever rater
// gave which rating and with missing ratings (0) as part of the tally; past
// the limit a new tally has no number while the numbered keep theirs, and
// beyond 7 classes none has one. The last case runs through the growth of
// the index's table.
TEST(TallyIndexTest, NumbersEachTallyOnceWithinItsLimit) {
  struct Case {
    int K;
    std::size_t limit;
    std::vector<std::vector<std::uint16_t>> tuples;
    std::vector<std::ptrdiff_t> numbers;
  };
  const Case cases[] = {
      {5, 16, {{1, 2, 3}, {3, 2, 1}, {2, 2, 0}, {0, 2, 2}, {1, 2, 3}, {5, 5, 5}}, {0, 0, 1, 1, 0, 2}},
      {5, 2, {{1, 2, 3}, {2, 2, 0}, {5, 5, 5}, {0, 2, 2}, {3, 1, 2}, {5, 5, 5}}, {0, 1, -1, 1, 0, -1}},
      {7, 16, {{7, 7, 7}, {0, 0, 0}, {7, 0, 7}, {7, 7, 7}}, {0, 1, 2, 0}},
      {8, 16, {{1, 2, 3}, {1, 2, 3}}, {-1, -1}},
  };
  for (const Case& c : cases) {
    detail::TallyIndex index(c.K, 3, c.limit);
    for (std::size_t i = 0; i < c.tuples.size(); ++i) {
      EXPECT_EQ(index.Of(c.tuples[i].data()), c.numbers[i]) << "K " << c.K << " tuple " << i;
    }
  }
  detail::TallyIndex index(7, 12, 1500);
  std::map<std::vector<int>, std::ptrdiff_t> known;
  std::uint32_t state = 1;
  for (int i = 0; i < 20000; ++i) {
    std::vector<std::uint16_t> values(12);
    std::vector<int> tally(8, 0);
    for (std::uint16_t& v : values) {
      state = state * 1103515245u + 12345u;
      v = static_cast<std::uint16_t>((state >> 16) % 8);
      ++tally[v];
    }
    const auto found = known.find(tally);
    const std::ptrdiff_t expected = found != known.end() ? found->second
                                    : known.size() < 1500 ? static_cast<std::ptrdiff_t>(known.size())
                                                          : -1;
    ASSERT_EQ(index.Of(values.data()), expected) << "tuple " << i;
    if (expected == static_cast<std::ptrdiff_t>(known.size())) known.emplace(tally, expected);
  }
  EXPECT_EQ(index.size(), 1500u);
}

}  // namespace
}  // namespace zover
