#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"

namespace zover {
namespace {

using testing::MakeModelTables;

TEST(incrementoTest, AddsHalfATuple) {
  struct Case {
    const char* name;
    int K, R;
    double dN, dFail;
  };
  const Case cases[] = {
      {"K=2 R=3", 2, 3, 4.0, 1.5},
      {"K=3 R=2, the dummy class of R=K=2", 3, 2, 4.5, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = MakeModelTables(c.K, c.R, 10, std::vector<double>(c.K, 1.0),
                                std::vector<std::vector<double>>(c.K, std::vector<double>(c.R, 2.0)));
    incremento(tb);
    EXPECT_EQ(tb.N, 10 + c.dN);
    EXPECT_EQ(tb.success[c.K - 1], 1.5);
    EXPECT_EQ(tb.fail[c.K - 1][c.R - 1], 2 + c.dFail);
  }
}

// A fit as the driver leaves it before desviaciones, whose overall
// agreement the variances of the two-class case take.
ModelTables FirstFit(ModelTables tb, int caso) {
  Fit(tb);
  if (caso == 2) parametros(tb, 1);
  parametros(tb, caso);
  return tb;
}

TEST(desviacionesTest, DegenerateFitsAreRefittedOnIncreasedData) {
  struct Case {
    const char* name;
    double n;
    std::vector<std::vector<double>> fail;
  };
  const Case cases[] = {
      {"a zero proportion", 60, {{9, 11}, {14, 12}, {0, 12}}},
      {"outcome -1", 40, {{4, 3}, {9, 6}, {2, 6}}},
      {"outcome -2", 10, {{2, 2}, {2, 2}, {0, 0}}},
      {"B = 0 from no disagreements", 30, {{0, 0}, {0, 0}, {0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = FirstFit(MakeModelTables(3, 2, c.n, {6, 15, 4}, c.fail), 1);
    // The refit by hand: no zero and no special B any more, so the call on
    // it computes the variances directly.
    ModelTables want = tb;
    incremento(want);
    want = FirstFit(want, 1);
    desviaciones(want, 1, want.acglobal);
    ASSERT_EQ(want.N, c.n + 4.5);

    EXPECT_TRUE(desviaciones(tb, 1, tb.acglobal));
    EXPECT_EQ(tb.N, want.N);
    EXPECT_EQ(tb.B0, want.B0);
    EXPECT_EQ(tb.acglobal, want.acglobal);
    EXPECT_EQ(tb.var_suc, want.var_suc);
    EXPECT_EQ(tb.var_alp, want.var_alp);
    EXPECT_EQ(tb.var_cons, want.var_cons);
  }
}

TEST(desviacionesTest, BZeroWithoutZeroProportionsIsNotRefitted) {
  // Proportions of 1e-14: D is 0 within tolerance, but no d_ir is 0.
  ModelTables tb = FirstFit(MakeModelTables(3, 2, 1e14, {1, 1, 1}, {{1, 1}, {1, 1}, {1, 1}}), 1);
  ASSERT_EQ(tb.B0, 0.0);
  EXPECT_FALSE(desviaciones(tb, 1, tb.acglobal));
  EXPECT_EQ(tb.N, 1e14);
  EXPECT_EQ(tb.B0, 0.0);
}

TEST(desviacionesTest, GeneralVariancesInTheirTwoRaterForm) {
  // The R = 2 example, with h_i = pi_i0 pi_i1 / (pi_i0 + pi_i1 - 1) and
  // (sum_r pi_ir)^2 - sum_r pi_ir^2 = 2 pi_i0 pi_i1.
  ModelTables tb = FirstFit(MakeModelTables(3, 2, 20, {10, 0, 1}, {{4, 4}, {1, 2}, {4, 3}}), 1);
  desviaciones(tb, 1, tb.acglobal);
  const double n = tb.N, O = tb.acglobal;
  double h[3], H = 0;
  for (int i = 0; i < 3; ++i) {
    h[i] = tb.prop[i][0] * tb.prop[i][1] / (tb.prop[i][0] + tb.prop[i][1] - 1);
    H += h[i];
  }
  EXPECT_NEAR(tb.var_suc, (1 - O) / n * (H / (H - 1) + O), 1e-12 * tb.var_suc);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const double A = tb.acuerd[i], C = tb.consist[i];
    const double T = (1 - O) * h[i] * (h[i] / (H - 1) - 1);
    const double X = 2 * tb.success[i] / n + tb.dmat[i][0] + tb.dmat[i][1];
    const double V = A * (1 - C) * (1 - C / 2);
    const double W = 2 * tb.prop[i][0] * tb.prop[i][1] * C * C * (1 - O) / 4;
    EXPECT_NEAR(tb.var_alp[i], (A * (1 - A) + T) / n, 1e-12 * std::fabs(tb.var_alp[i]));
    EXPECT_NEAR(tb.var_cons[i], (T + W + V) * 4 / (n * X * X), 1e-12 * std::fabs(tb.var_cons[i]));
  }
}

TEST(desviacionesTest, TwoClassCaseUsesTheSavedOverallAgreement) {
  ModelTables tb = MakeModelTables(2, 2, 30, {9, 11}, {{6, 4}, {4, 6}});
  tb.K = 3;
  incremento(tb);
  tb = FirstFit(tb, 2);
  tb.var_alp[2] = 42;
  ModelTables other = tb;
  desviaciones(tb, 2, tb.acglobal);
  desviaciones(other, 2, other.acglobal + 0.1);
  EXPECT_EQ(tb.N, 30 + 4.5);  // the driver's increment only
  EXPECT_EQ(tb.prop[2][1], (tb.dmat[2][1] + tb.alp_neg[2]) / tb.B0);
  EXPECT_EQ(tb.var_alp[2], 42);
  EXPECT_TRUE(std::isfinite(tb.var_suc));
  EXPECT_NE(tb.var_suc, other.var_suc);
  EXPECT_EQ(tb.var_alp, other.var_alp);
  EXPECT_EQ(tb.var_cons, other.var_cons);
}

}  // namespace
}  // namespace zover
