// The fast searches (a halving search stops once its midpoint is stuck, the
// B search once a trial leaves its interval unchanged) must leave the same
// bits as the literal loops in every table the model writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"

namespace zover {
namespace {

using Bits = std::vector<std::uint64_t>;

Bits Of(const double* x, std::size_t n) {
  Bits bits(n);
  std::memcpy(bits.data(), x, n * sizeof(double));
  return bits;
}
Bits Of(const std::vector<double>& v) { return Of(v.data(), v.size()); }
Bits Of(const Grid<double>& g) { return Of(g[0], g.rows() * g.cols()); }
Bits Of(double x) { return Of(&x, 1); }

// Every table and scalar the model writes, as bit patterns (NaN-safe).
std::vector<std::pair<const char*, Bits>> ModelState(const ModelTables& tb) {
  return {{"N", Of(tb.N)},           {"success", Of(tb.success)}, {"fail", Of(tb.fail)},
          {"dmat", Of(tb.dmat)},     {"D", Of(tb.D)},             {"alp", Of(tb.alp)},
          {"Bt", Of(tb.Bt)},         {"t", Of(tb.t)},             {"alp_neg", Of(tb.alp_neg)},
          {"alp_pos", Of(tb.alp_pos)}, {"B", Of(tb.B)},           {"B0", Of(tb.B0)},
          {"paso", Of(static_cast<int>(tb.paso))},     {"prop", Of(tb.prop)},       {"acuerd", Of(tb.acuerd)},
          {"acuerdaux", Of(tb.acuerdaux)}, {"consist", Of(tb.consist)},
          {"acglobal", Of(tb.acglobal)}, {"var_cons", Of(tb.var_cons)},
          {"var_alp", Of(tb.var_alp)}, {"var_suc", Of(tb.var_suc)}};
}

// The driver's estimation (with the dummy class for R = K = 2 unless
// `direct`); returns the B trials of the first fit.
long long Estimate(ModelTables& tb, bool direct) {
  const int caso = !direct && tb.R == 2 && tb.K == 2 ? 2 : 1;
  if (caso == 2) {
    tb.K = 3;
    incremento(tb);  // class 2 starts at zero in fresh tables
  }
  Fit(tb);
  const long long trials = tb.counters.bTrials;
  if (caso == 2) parametros(tb, 1);
  parametros(tb, caso);
  desviaciones(tb, caso, tb.acglobal);
  return trials;
}

// Literal B trials of the first fit, and evaluations saved by the fast run.
struct Saving {
  long long literalTrials, evaluations;
};

Saving ExpectSameBits(const ModelTables& data, bool direct = false) {
  ModelTables literal = data, fast = data;
  literal.literalLoops = true;
  const long long trials = Estimate(literal, direct);
  Estimate(fast, direct);
  const auto want = ModelState(literal), got = ModelState(fast);
  for (std::size_t k = 0; k < want.size(); ++k)
    EXPECT_EQ(got[k].second, want[k].second) << "table " << want[k].first;
  return {trials, literal.counters.evaluations - fast.counters.evaluations};
}

TEST(EquivalenceTest, ConstructedDataSets) {
  struct Case {
    const char* name;
    int R;
    double n;
    std::vector<std::vector<double>> fail;
    bool capped, noRoot;  // the literal first fit runs 1001 trials / meets no root
  };
  const Case cases[] = {
      {"worked example", 3, 60, {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}}, false, false},
      {"larger solution for t", 2, 20, {{4, 4}, {1, 2}, {4, 3}}, false, false},
      {"outcome -1", 2, 40, {{4, 3}, {9, 6}, {2, 6}}, false, false},
      {"outcome -2", 2, 10, {{2, 2}, {2, 2}, {0, 0}}, false, false},
      {"no disagreements", 3, 30, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, false, false},
      // |G| = 1e-9 at Bt = 1: the root lies within 1e-17 of Bt, where the B
      // equation stays above 1e-12 and the literal loop runs to its cap.
      {"G = 1e-9, root next to Bt", 2, 1e9, {{2.5e8, 2.5e8}, {5e8 + 1, 0}, {5e8 + 1, 0}}, true, false},
      {"G = -1e-9, root next to Bt", 2, 1e9, {{2.5e8, 2.5e8}, {5e8 - 1, 0}, {5e8 - 1, 0}}, true, false},
      // Six equal proportions: the minimiser's bracket has a = b.
      {"equal proportions", 6, 22, {{2, 2, 2, 1, 2, 1}, {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 2}}, false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Saving s = ExpectSameBits(testing::MakeModelTables(3, c.R, c.n, {4, 2, 6}, c.fail));
    EXPECT_EQ(s.literalTrials == 1001, c.capped);
    if (!c.capped) {
      EXPECT_EQ(s.evaluations > 37000, c.noRoot);  // a no-root call saves about 38000
    }
  }
}

struct Sizes {
  std::uint64_t firstSeed;
  int sets, maxK, maxR, maxN;
};

class EquivalenceRandomTest : public ::testing::TestWithParam<Sizes> {};

TEST_P(EquivalenceRandomTest, SameBitsInBothModes) {
  const Sizes z = GetParam();
  int capped = 0, ranOut = 0;
  for (std::uint64_t seed = z.firstSeed; seed < z.firstSeed + z.sets; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const Saving s = ExpectSameBits(testing::RandomData(seed, z.maxK, z.maxR, z.maxN), seed % 2 == 0);
    capped += s.literalTrials == 1001;
    // A literal halving search that runs out costs 20000 evaluations, a
    // fast one about 1100 at most.
    ranOut += s.evaluations > 18000;
  }
  EXPECT_GT(capped, 0);
  EXPECT_GT(ranOut, 0);
}

// The odd seeds of R = K = 2 get the dummy class, the even ones a direct fit.
INSTANTIATE_TEST_SUITE_P(Random, EquivalenceRandomTest,
                         ::testing::Values(Sizes{0, 1000, 6, 6, 160}, Sizes{1000, 500, 10, 8, 300}),
                         [](const ::testing::TestParamInfo<Sizes>& info) {
                           return "UpToK" + std::to_string(info.param.maxK) + "R" +
                                  std::to_string(info.param.maxR);
                         });

}  // namespace
}  // namespace zover
