#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"

namespace zover {
namespace {

using testing::MakeModelTables;

// Reference values are given to six decimals; identities between computed
// values hold to the 1e-12 accuracy of the fit.
constexpr double kSixDigits = 5.01e-7;
constexpr double kFit = 2e-12;

TEST(parametrosTest, WorkedExamples) {
  struct Case {
    const char* name;
    int R;
    double n;
    std::vector<double> success;
    std::vector<std::vector<double>> fail;
    double acglobal;
    std::vector<double> acuerd, consist;
    std::vector<std::vector<double>> prop;
  };
  const Case cases[] = {
      {"R=3 K=3 n=60", 3, 60, {8, 9, 8}, {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}}, 0.346141,
       {0.110640, 0.133022, 0.102479}, {0.337544, 0.399067, 0.302396},
       {{0.264115, 0.315094, 0.417053}, {0.382821, 0.331841, 0.204393}, {0.353065, 0.353065, 0.378554}}},
      {"R=2 K=3 n=20, larger solution for t", 2, 20, {10, 0, 1}, {{4, 4}, {1, 2}, {4, 3}}, 0.161423,
       {0.190781, -0.007340, -0.022019}, {0.272545, -0.097861, -0.097861},
       {{0.607241, 0.607241}, {0.068377, 0.128002}, {0.324381, 0.264757}}},
      // Outcome -1: acglobal keeps the value it had (0 in fresh tables).
      {"outcome -1", 2, 40, {6, 15, 4}, {{4, 3}, {9, 6}, {2, 6}}, 0.0, {0.15, 0.375, 0.1},
       {0.631579, 0.666667, 0.5}, {{0, 0}, {0, 0}, {0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = MakeModelTables(3, c.R, c.n, c.success, c.fail);
    Fit(tb);
    const ModelTables fit = tb;
    parametros(tb, 1);
    if (fit.paso == RootBranch::kLargerForT) {
      EXPECT_EQ(tb.alp_neg[tb.t], fit.alp_pos);
    }
    EXPECT_NEAR(tb.acglobal, c.acglobal, kSixDigits);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      EXPECT_NEAR(tb.acuerd[i], c.acuerd[i], kSixDigits);
      EXPECT_NEAR(tb.consist[i], c.consist[i], kSixDigits);
      for (int r = 0; r < c.R; ++r) EXPECT_NEAR(tb.prop[i][r], c.prop[i][r], kSixDigits);
    }
  }
}

TEST(parametrosTest, ZeroBGivesNoChanceAndFullConsistency) {
  // No disagreements. Class 2 was never chosen: its consistency is 0/0.
  ModelTables tb = MakeModelTables(3, 3, 30, {10, 20, 0}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
  ASSERT_EQ(Fit(tb), 0.0);
  parametros(tb, 1);
  EXPECT_EQ(tb.acglobal, 1.0);
  EXPECT_EQ(tb.prop[0][0], 0.0);
  EXPECT_EQ(tb.prop[2][2], 0.0);
  EXPECT_EQ(tb.consist[0], 1.0);
  EXPECT_TRUE(std::isnan(tb.consist[2]));
}

TEST(parametrosTest, TwoClassCaseMeasuresTheRealClassesOnly) {
  // R = K = 2 as the driver estimates it: a dummy class 2, one increment.
  ModelTables tb = MakeModelTables(2, 2, 30, {9, 11}, {{6, 4}, {4, 6}});
  tb.K = 3;
  incremento(tb);
  Fit(tb);
  parametros(tb, 1);
  const ModelTables general = tb;
  tb.acuerd[2] = tb.consist[2] = 42;
  parametros(tb, 2);
  EXPECT_EQ(tb.acuerd[2], 42);
  EXPECT_EQ(tb.consist[2], 42);
  const double share = (tb.success[1] / tb.N + tb.success[0] / tb.N) + tb.dmat[0][0] + tb.dmat[1][0];
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tb.acuerdaux[i], general.acuerd[i]);
    EXPECT_DOUBLE_EQ(tb.acuerd[i], general.acuerd[i] / share);
    EXPECT_NEAR(tb.consist[i], general.consist[i], kFit);  // the general formula with R = 2
  }
  EXPECT_EQ(tb.acglobal, tb.acuerd[0] + tb.acuerd[1]);
}

TEST(parametrosTest, RandomFitsHaveProbabilitiesAndAgreementsThatAddUp) {
  // From responses every rater's disagreements add up to D, so at a fitted B
  // each rater's chance probabilities add up to (D + sum alpha)/B = 1 and the
  // agreements to 1 - B = acglobal.
  int checked = 0;
  for (std::uint64_t seed = 300; seed < 500; ++seed) {
    ModelTables tb = testing::RandomData(seed, 6, 6, 200);
    Fit(tb);
    if (tb.B0 <= 0) continue;
    parametros(tb, 1);
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    for (int r = 0; r < tb.R; ++r) {
      double sum = 0.0;
      for (int i = 0; i < tb.K; ++i) sum += tb.prop[i][r];
      EXPECT_LT(tb.B0 * std::fabs(sum - 1.0), kFit) << "rater " << r;
    }
    double agreements = 0.0;
    for (int i = 0; i < tb.K; ++i) agreements += tb.acuerd[i];
    EXPECT_NEAR(tb.acglobal, agreements, kFit);
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace zover
