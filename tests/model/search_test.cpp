#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"

namespace zover {
namespace {

using testing::MakeModelTables;

// Reference values are given to six decimals.
constexpr double kSixDigits = 5.01e-7;

const std::vector<double> kSuccess = {8, 9, 8};
const std::vector<std::vector<double>> kFail = {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}};

double SumAlpNeg(const ModelTables& tb) {
  double sum = 0.0;
  for (int i = 0; i < tb.K; ++i) sum += tb.alp_neg[i];
  return sum;
}

void ExpectGiven(double got, double given) {
  if (!std::isnan(given)) {
    EXPECT_NEAR(got, given, kSixDigits);
  }
}

TEST(SearchTest, WorkedExamples) {
  struct Case {
    const char* name;
    int R;
    double n;
    std::vector<double> success;
    std::vector<std::vector<double>> fail;
    double D, Bt;
    int t;
    double G;
    int paso;
    double B0;
    std::vector<double> alp, alp_neg;  // NaN: not given
    double alp_pos;
  };
  const Case cases[] = {
      {"R=3 K=3 n=60", 3, 60, kSuccess, kFail, 0.583333, 0.533792, 2, 0.232202, 2, 0.653859,
       {0.094365, 0.086748, 0.102679}, {0.022694, 0.016978, 0.030855}, NAN},
      {"R=2 K=3 n=20", 2, 20, {10, 0, 1}, {{4, 4}, {1, 2}, {4, 3}}, 0.45, 0.8, 0, -0.060829, 1,
       0.838577, {0.2, 0.070711, 0.173205}, {NAN, 0.007340, 0.072019}, 0.309219},
      // Special outcomes keep paso (-7 here), alp_neg and alp_pos.
      {"outcome -1", 2, 40, {6, 15, 4}, {{4, 3}, {9, 6}, {2, 6}}, 0.375, 0.742423, 1, NAN, -7,
       -1.0, {NAN, NAN, NAN}, {NAN, NAN, NAN}, NAN},
      // Classes 0 and 1 alike: G is 0 up to the accuracy of the roots, and
      // the rater sums of class 0 equal (R - 1) D = 0.4.
      {"outcome -2", 2, 10, {1, 1, 1}, {{2, 2}, {2, 2}, {0, 0}}, 0.4, 0.8, 0, 0.0, -7, -2.0,
       {0.2, 0.2, 0}, {NAN, NAN, NAN}, NAN},
      {"no disagreements", 2, 10, {1, 1, 1}, {{0, 0}, {0, 0}, {0, 0}}, 0, 0, 0, NAN, -7, 0.0,
       {0, 0, 0}, {0, 0, 0}, NAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = MakeModelTables(3, c.R, c.n, c.success, c.fail);
    tb.paso = static_cast<RootBranch>(-7);  // kept by a special outcome
    Search1(tb, tb.N);
    Search2(tb, tb.Bt);
    const ModelTables atBt = tb;
    const double G = (tb.D + SumAlpNeg(tb)) - tb.Bt;
    EXPECT_EQ(Search3(tb, tb.t), tb.B0);
    if (c.B0 <= 0) {
      EXPECT_EQ(tb.B0, c.B0);
      EXPECT_EQ(tb.alp_neg, atBt.alp_neg);
      EXPECT_EQ(tb.alp_pos, atBt.alp_pos);
      EXPECT_EQ(tb.counters.bTrials, 0);
    }
    EXPECT_NEAR(tb.D, c.D, kSixDigits);
    EXPECT_NEAR(tb.Bt, c.Bt, kSixDigits);
    EXPECT_EQ(tb.t, c.t);
    ExpectGiven(G, c.G);
    EXPECT_EQ(static_cast<int>(tb.paso), c.paso);
    ExpectGiven(tb.B0, c.B0);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      ExpectGiven(tb.alp[i], c.alp[i]);
      ExpectGiven(tb.alp_neg[i], c.alp_neg[i]);
    }
    ExpectGiven(tb.alp_pos, c.alp_pos);
  }
}

// Product form of each class equation, prod_r (d_ir + a) = a B^(R-1), and
// the B equation. The parameter is a root to within 1e-12, which moves the
// log of the ratio by up to 1e-12 |g'(a)|: twice that is allowed.
void ExpectEquationsHold(ModelTables tb) {
  if (tb.paso == RootBranch::kLargerForT) tb.alp_neg[tb.t] = tb.alp_pos;
  EXPECT_LT(std::fabs(tb.D + SumAlpNeg(tb) - tb.B0), 1e-12);
  for (int i = 0; i < tb.K; ++i) {
    if (tb.N0[i] == 1) continue;
    const double a = tb.alp_neg[i];
    double product = 1.0, slope = -1.0 / a;
    for (int r = 0; r < tb.R; ++r) {
      product *= tb.dmat[i][r] + a;
      slope += 1.0 / (tb.dmat[i][r] + a);
    }
    const double rhs = a * std::pow(tb.B0, tb.R - 1.0);
    EXPECT_LT(std::fabs(product - rhs) / rhs, 2e-12 * std::fabs(slope) + 1e-13) << "class " << i;
  }
}

TEST(Search3Test, FitsSatisfyEveryEquation) {
  ModelTables example = MakeModelTables(3, 3, 60, kSuccess, kFail);
  Fit(example);
  ExpectEquationsHold(example);
  // Random fits with B0 >= Bt, so that every class has a solution; none of
  // them runs out of trials.
  int checked = 0;
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    ModelTables tb = testing::RandomData(seed, 6, 6, 200);
    Fit(tb);
    if (tb.B0 < tb.Bt) continue;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    ExpectEquationsHold(tb);
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

TEST(Search1Test, EqualBoundsKeepTheLowerClass) {
  ModelTables tb = MakeModelTables(3, 3, 60, {0, 0, 0}, {{3, 4, 5}, {12, 9, 15}, {12, 9, 15}});
  Search1(tb, tb.N);
  EXPECT_EQ(tb.t, 1);
}

TEST(Search1Test, ZeroProportionFlagsTheClass) {
  // Class 0 would have by far the largest bound without its zero.
  ModelTables tb = MakeModelTables(3, 3, 60, {0, 0, 0}, {{0, 40, 40}, {5, 6, 7}, {4, 4, 9}});
  Fit(tb);
  EXPECT_EQ(tb.N0[0], 1);
  EXPECT_EQ(tb.alp[0], 0.0);
  EXPECT_EQ(tb.alp_neg[0], 0.0);
  EXPECT_NE(tb.t, 0);
}

TEST(Search2Test, NearBtClassTHasTheDoubleRoot) {
  ModelTables tb = MakeModelTables(3, 3, 60, kSuccess, kFail);
  Search1(tb, tb.N);
  for (double Bv : {tb.Bt, tb.Bt + 5e-13}) {
    Search2(tb, Bv);
    EXPECT_EQ(tb.alp_neg[2], tb.alp[2]);
    EXPECT_EQ(tb.alp_pos, tb.alp[2]);
    EXPECT_LT(tb.alp_neg[0], tb.alp[0]);  // the smaller solution elsewhere
    EXPECT_LT(tb.alp_neg[1], tb.alp[1]);
  }
}

// The start is judged on G relative to Bt, then on |G| < 1e-12 alone.
TEST(Search3Test, StartIsJudgedOnGRelativeToBt) {
  struct Case {
    const char* name;
    int K;
    double n;
    std::vector<double> success;
    std::vector<std::vector<double>> fail;
    double outcome;  // a special B, or NaN for a fit
    int paso;
    bool searched;
  };
  const std::vector<std::vector<double>> flagged = {{0, 0}, {0, 0}};
  const Case cases[] = {
      // Class 0 has d = (0.25, 0.25), the others are flagged: Bt = 1.
      {"G = 0: B = Bt, larger solution for t", 3, 4, {0, 0, 0}, {{1, 1}, {2, 0}, {2, 0}}, NAN, 1, false},
      {"G = 1e-9: smaller solutions above Bt", 3, 1e9, {0, 0, 0}, {{2.5e8, 2.5e8}, {5e8 + 1, 0}, {5e8 + 1, 0}},
       NAN, 2, true},
      {"G = -1e-9: larger solution for t", 3, 1e9, {0, 0, 0}, {{2.5e8, 2.5e8}, {5e8 - 1, 0}, {5e8 - 1, 0}},
       NAN, 1, true},
      // Two tied classes; G is rounding and the rater sums match.
      {"tied classes: infinitely many solutions", 3, 7, {1, 3, 1}, {{1, 1}, {1, 1}, {0, 0}}, -2.0, -7, false},
      // With the dummy class G is about 1/n: 2.5e-6 Bt at n = 1e6.
      {"R=K=2 symmetric, n=1e6", 2, 1e6, {4e5, 4e5}, {{1e5, 1e5}, {1e5, 1e5}}, NAN, 2, true},
      {"R=K=2 symmetric, n=1e8", 2, 1e8, {4e7, 4e7}, {{1e7, 1e7}, {1e7, 1e7}}, NAN, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = MakeModelTables(c.K, 2, c.n, c.success, c.fail);
    if (c.K == 2) {
      tb.K = 3;  // as the driver fits R = K = 2
      incremento(tb);
    }
    tb.paso = static_cast<RootBranch>(-7);
    Fit(tb);
    if (std::isnan(c.outcome)) {
      EXPECT_GE(tb.B0, tb.Bt);
      EXPECT_LT(tb.B0, 2 * tb.Bt);
    } else {
      EXPECT_EQ(tb.B0, c.outcome);
    }
    EXPECT_EQ(static_cast<int>(tb.paso), c.paso);
    EXPECT_EQ(tb.counters.bTrials > 0, c.searched);
  }
}

// Keyboard model data that no responses can give: the 10 disagreeing
// objects all go to class 1 for every rater, so the B equation in mode 1 is
// negative everywhere, before and after an increment. The search keeps its
// end and stops where it always did.
TEST(Search3Test, WithoutASolutionTheSearchEndsAsBefore) {
  ModelTables tb = MakeModelTables(2, 4, 14, {4, 0}, {{10, 10, 10, 10}, {0, 0, 0, 0}});
  Fit(tb);
  EXPECT_EQ(tb.B0, 0.75590526284199977);
  EXPECT_EQ(tb.alp_pos, 0.041619548556285468);
  parametros(tb, 1);
  incremento(tb);
  Fit(tb);
  EXPECT_EQ(tb.B0, 1.2987826788820724);
  EXPECT_EQ(tb.alp_pos, tb.alp[tb.t]);
}

// m unanimous objects of one class multiply every proportion by n/(n + m):
// alpha, B and G scale alike, so the start and the outcome must not change.
TEST(Search3Test, UnanimousObjectsDoNotChangeTheStart) {
  auto start = [](ModelTables tb) {
    Fit(tb);
    return tb.B0 <= 0 ? tb.B0 : static_cast<int>(tb.paso);  // special outcome, or the branch
  };
  ModelTables minusOne = MakeModelTables(3, 2, 40, {6, 15, 4}, {{4, 3}, {9, 6}, {2, 6}});
  minusOne.success[0] += 1e8;
  minusOne.N += 1e8;
  EXPECT_EQ(start(minusOne), -1.0);
  int compared = 0;
  for (std::uint64_t seed = 1; seed <= 150; ++seed) {
    const ModelTables data = testing::RandomData(seed, 6, 6, 200);
    if (data.K == 2 && data.R == 2) continue;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const double before = start(data);
    for (double m : {1e3, 1e6, 1e8}) {
      ModelTables more = data;
      more.success[seed % data.K] += m;
      more.N += m;
      EXPECT_EQ(start(more), before) << "m = " << m;
    }
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace zover
