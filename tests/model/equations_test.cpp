#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/model.h"

namespace zover {
namespace {

ModelTables SizedTables(int R) { return ModelTables(3, R); }

TEST(FuncionBTest, SmallerRootsIgnoreClassTOtherBranchesUseAlpPos) {
  ModelTables tb = SizedTables(2);
  tb.D = 0.5;
  tb.t = 1;
  tb.alp_pos = 0.4;
  const double a[] = {0.1, 0.2, 0.3};
  EXPECT_NEAR(FuncionB(tb, 1.0, a, RootBranch::kSmaller), 0.1, 1e-15);     // 0.5 + 0.6 - 1
  EXPECT_NEAR(FuncionB(tb, 1.0, a, RootBranch::kLargerForT), 0.3, 1e-15);  // 0.5 + 0.1 + 0.4 + 0.3 - 1
  EXPECT_EQ(FuncionB(tb, 1.0, a, RootBranch::kNone), FuncionB(tb, 1.0, a, RootBranch::kLargerForT));
}

// R = 2, v = (s, s), s = sqrt(0.72), Bv = 1.7 + 2s: the class equation
// (s + x)^2 = x Bv has the roots 0.8 and 0.9 around the minimiser s.
const double kS = std::sqrt(0.72);
const double kBv = 1.7 + 2 * kS;

TEST(BiseccionTest, RootsAndFallbacks) {
  struct Case {
    const char* name;
    std::vector<double> v;
    double a, b;
    Equation type;
    double Bv;
    double root;  // NaN: the result must be b itself
  };
  const Case cases[] = {
      {"Alpha, v=(0.1,0.3)", {0.1, 0.3}, 0.1, 0.3, Equation::kAlpha, 0, std::sqrt(0.03)},
      {"Alpha, ends swapped", {0.1, 0.3}, 0.3, 0.1, Equation::kAlpha, 0, std::sqrt(0.03)},
      {"Alpha exactly 0 at a", {1, 1}, 1.0, 3.0, Equation::kAlpha, 0, 1.0},
      {"a = b, F(a) = 0", {1, 1}, 1.0, 1.0, Equation::kAlpha, 0, 1.0},
      {"a = b, F(a) != 0", {0.1, 0.3}, 0.2, 0.2, Equation::kAlpha, 0, NAN},
      {"smaller root", {kS, kS}, 0.72 / kBv, kS, Equation::kAlphaNeg, kBv, 0.8},
      {"larger root", {kS, kS}, kS, kBv - kS, Equation::kAlphaNeg, kBv, 0.9},
      // Both ends positive; midpoints from b = 6e19 towards a reach (0.8, 0.9)
      // after about 70 halvings.
      {"sign change towards a", {kS, kS}, 0.79, 6e19, Equation::kAlphaNeg, kBv, 0.9},
      // F is NaN at a (ln of a negative x) and at every midpoint towards a;
      // towards b the negative region comes after about 66 halvings.
      {"sign change towards b", {kS, kS}, -6e19, 0.91, Equation::kAlphaNeg, kBv, 0.8},
      {"Bv below the class bound 4s: no root", {kS, kS}, 0.24, kS, Equation::kAlphaNeg, 3.0, NAN},
      // ln Bv is NaN: so is F everywhere, and the loops can only run out.
      {"Bv < 0: no root anywhere", {kS, kS}, 0.24, kS, Equation::kAlphaNeg, -1.0, NAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = SizedTables(static_cast<int>(c.v.size()));
    const double x = Biseccion(tb, c.a, c.b, c.v.data(), c.type, c.Bv);
    if (std::isnan(c.root)) {
      EXPECT_EQ(x, c.b);
    } else {
      EXPECT_NEAR(x, c.root, 1e-12);
    }
    if (std::string(c.name).find("no root") != std::string::npos) {
      // The halving searches stop once their midpoints no longer move, long
      // before their 2 x 10000 halvings.
      EXPECT_LT(tb.counters.evaluations, 400);
    }
  }
}

// The smaller solution, between lo = prod_r v_r / Bv^(R-1) and the
// minimiser.
TEST(SmallerRootTest, FromTheLowerEnd) {
  std::vector<double> thirty(30);
  for (int r = 0; r < 30; ++r) thirty[r] = 0.1 + 0.001 * r;
  struct Case {
    const char* name;
    std::vector<double> v;
    double Bv;
    double root;  // 0: lo itself
  };
  // R = 2: a^2 + (v0 + v1 - Bv) a + v0 v1 = 0, smaller root in stable form.
  auto twoRaters = [](double v0, double v1, double Bv) {
    const double b = Bv - v0 - v1;
    return 2 * v0 * v1 / (b + std::sqrt(b * b - 4 * v0 * v1));
  };
  const Case cases[] = {
      // The root exceeds lo by 9e-18 of it; the computed class equation is
      // -3.6e-15 at lo and negative at the minimiser: no sign change.
      {"30 raters, lo within rounding of the root", thirty, 0.5, 0},
      // Far below the minimiser (q = 0.03): the bisection's 1e-12 would
      // leave 3e-5 of the root; the contraction gives its last digits.
      {"2 raters, far below the minimiser", {0.3, 1e-6}, 10, twoRaters(0.3, 1e-6, 10)},
      {"2 raters, bisection alone", {kS, kS}, kBv, 0.8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int R = static_cast<int>(c.v.size());
    ModelTables tb = SizedTables(R);
    double P = 1.0;
    for (double x : c.v) P *= x;
    const double lo = P / std::pow(c.Bv, R - 1.0);
    const double alpha = Biseccion(tb, 0.0, 1.0, c.v.data(), Equation::kAlpha, 0);
    const double x = SmallerRoot(tb, lo, alpha, c.v.data(), c.Bv);
    if (c.root == 0) {
      EXPECT_EQ(x, lo);
      EXPECT_EQ(Biseccion(tb, lo, alpha, c.v.data(), Equation::kAlphaNeg, c.Bv), alpha);  // the fault mended
    } else {
      EXPECT_NEAR(x, c.root, 1e-14 * c.root + (c.root > 0.1 ? 1e-12 : 0));
    }
  }
}

TEST(BiseccionTest, SwappedEndsGiveTheSameBits) {
  ModelTables tb = SizedTables(2);
  const double v[] = {0.1, 0.3};
  EXPECT_EQ(Biseccion(tb, 0.1, 0.3, v, Equation::kAlpha, 0), Biseccion(tb, 0.3, 0.1, v, Equation::kAlpha, 0));
}

// Where adjacent doubles lie more than 1e-12 apart the bracket can never be
// that narrow; the bisection must still end, at the midpoint that no longer
// moves. Alpha with v = (10^4, 10^4) has its root at 10^4, where doubles are
// 1.8e-12 apart. Ends that are not finite must end the search as well.
TEST(BiseccionTest, EndsWhereTheBracketCannotShrinkFurther) {
  ModelTables tb = SizedTables(2);
  const double v[] = {1e4, 1e4};
  const double root = Biseccion(tb, 0.5e4, 2e4, v, Equation::kAlpha, 0);
  EXPECT_NEAR(root, 1e4, 1e-11);
  const double infinite = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(std::isfinite(Biseccion(tb, 1.0, infinite, v, Equation::kAlpha, 0)));
  Biseccion(tb, std::nan(""), 2e4, v, Equation::kAlpha, 0);  // returns at all
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// The class's fixed quantities only save work: SmallerRoot gives the same
// bits with them as without, for classes of many raters whose lower end
// underflows to +0 (the bound then proves every midpoint of the walk
// negative), ordinary classes, a class with a NaN proportion, and a B
// below the class bound.
TEST(SmallerRootTest, FixedQuantitiesKeepEveryBit) {
  struct Case {
    const char* name;
    int R;
    double scale;  // proportions scale * (1 + r % 7) / 7
    double Bv;
    bool nan;
  };
  const Case cases[] = {
      {"1000 raters, lower end +0", 1000, 1e-3, 1.0, false},
      {"300 raters, small B", 300, 1e-2, 0.05, false},
      {"5 raters", 5, 0.1, 0.9, false},
      {"2 raters, B below the bound", 2, 0.3, 0.1, false},
      {"NaN proportion", 40, 0.1, 0.5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelTables tb = SizedTables(c.R);
    std::vector<double> v(c.R);
    for (int r = 0; r < c.R; ++r) v[r] = c.scale * (1 + r % 7) / 7;
    if (c.nan) v[c.R / 2] = NAN;
    double lo = 1, hi = 0;
    for (double x : v) lo = std::fmin(lo, x), hi = std::fmax(hi, x);
    const double alpha = Biseccion(tb, lo / (c.R - 1.0), hi / (c.R - 1.0), v.data(), Equation::kAlpha, 0);
    double P = 1.0;
    for (double x : v) P *= x;
    const double bound = P / std::pow(c.Bv, c.R - 1.0);
    const ClassFacts facts = FactsOf(tb, v.data(), alpha);
    const long long before = tb.counters.evaluations;
    const double plain = SmallerRoot(tb, bound, alpha, v.data(), c.Bv);
    const long long plainCount = tb.counters.evaluations - before;
    const double fast = SmallerRoot(tb, bound, alpha, v.data(), c.Bv, &facts);
    EXPECT_TRUE(std::memcmp(&plain, &fast, sizeof plain) == 0) << plain << " " << fast;
    EXPECT_LE(tb.counters.evaluations - before - plainCount, plainCount);
  }
}

}  // namespace
}  // namespace zover
