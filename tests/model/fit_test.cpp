// The door into the model: FitModel on small tables of observed counts, the
// report it picks, its refit and the increments behind the standard errors.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"

namespace zover {
namespace {

TEST(FitModelTest, ReportRefitAndIncrements) {
  struct Case {
    const char* name;
    int K, R;
    double n;
    std::vector<double> success;
    std::vector<std::vector<double>> fail;
    Report report;
    bool refit;
    double increment, pseudoObjects;
  };
  const Case cases[] = {
      {"worked example", 3, 3, 60, {8, 9, 8}, {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}}, Report::kRegular, false, 0, 0},
      // Fitted with the dummy class on data increased once: 3^2 / 2 objects.
      {"two raters, two classes", 2, 2, 10, {3, 4}, {{2, 1}, {1, 2}}, Report::kTwoByTwo, false, 0.5, 4.5},
      {"a zero proportion", 3, 2, 60, {6, 15, 4}, {{9, 11}, {14, 12}, {0, 12}}, Report::kZeroProbability, true, 0.5,
       4.5},
      {"outcome -1", 3, 2, 40, {6, 15, 4}, {{4, 3}, {9, 6}, {2, 6}}, Report::kMinusInfinity, true, 0.5, 4.5},
      {"no disagreements", 3, 3, 30, {10, 10, 10}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, Report::kIndeterminate, true,
       0.5, 13.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb;
    const ModelResults res = FitModel(testing::CountsOf(testing::MakeModelTables(c.K, c.R, c.n, c.success, c.fail)), tb);
    EXPECT_EQ(res.report, c.report);
    EXPECT_EQ(res.refit.has_value(), c.refit);
    EXPECT_EQ(&res.latest(), c.refit ? &*res.refit : &res.first);
    EXPECT_EQ(res.increment, c.increment);
    EXPECT_EQ(res.pseudoObjects, c.pseudoObjects);
    EXPECT_EQ(res.overallSe, std::sqrt(tb.var_suc));
  }
}

}  // namespace
}  // namespace zover
