// The door into the model against its steps: FitModel must leave, bit for
// bit, the tables and the first fit that Search1 to Search3, parametros and
// desviaciones give when run one by one (with the dummy class for two raters
// and two classes), on constructed and random data sets. The constructed
// sets also show the early stops of the searches: a B search whose trials
// could only repeat stops before its cap of 1001 trials, and a class
// equation without a root well before its 2 x 10000 halvings.

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
          {"paso", Of(static_cast<int>(tb.paso))}, {"prop", Of(tb.prop)}, {"acuerd", Of(tb.acuerd)},
          {"acuerdaux", Of(tb.acuerdaux)}, {"consist", Of(tb.consist)},
          {"acglobal", Of(tb.acglobal)}, {"var_cons", Of(tb.var_cons)},
          {"var_alp", Of(tb.var_alp)}, {"var_suc", Of(tb.var_suc)}};
}

std::vector<std::pair<const char*, Bits>> FitState(const ModelFit& fit) {
  return {{"first B", Of(fit.B)},           {"first t", Of(fit.t)},
          {"first alpha", Of(fit.alpha)},   {"first consistency", Of(fit.consistency)},
          {"first agreement", Of(fit.agreement)}, {"first pi", Of(fit.pi)},
          {"first overall", Of(fit.overall)}};
}

// The steps one by one on the counts of `tb`; returns the B trials of the
// first fit.
long long Steps(ModelTables& tb, ModelFit& first) {
  const int caso = tb.R == 2 && tb.K == 2 ? 2 : 1;
  if (caso == 2) {
    tb.K = 3;
    incremento(tb);  // class 2 starts at zero in fresh tables
  }
  Search1(tb, tb.N);
  Search2(tb, tb.Bt);
  Search3(tb, tb.t);
  const long long trials = tb.counters.bTrials;
  if (caso == 2) parametros(tb, 1);
  parametros(tb, caso);
  first = {tb.B0, tb.t, tb.alp_neg, tb.consist, tb.acuerd, tb.prop, tb.acglobal};
  desviaciones(tb, caso, tb.acglobal);
  return trials;
}

// Compares the door with the steps; returns the steps' first-fit B trials
// and all their evaluations of the class equations.
SearchCounters ExpectSameBits(const ModelTables& counts) {
  ModelTables steps = counts;
  ModelFit first;
  const long long trials = Steps(steps, first);
  ModelTables door;
  const ModelResults res = FitModel(testing::CountsOf(counts), door);
  auto want = ModelState(steps), got = ModelState(door);
  const auto wantFit = FitState(first), gotFit = FitState(res.first);
  want.insert(want.end(), wantFit.begin(), wantFit.end());
  got.insert(got.end(), gotFit.begin(), gotFit.end());
  for (std::size_t k = 0; k < want.size(); ++k)
    EXPECT_EQ(got[k].second, want[k].second) << "table " << want[k].first;
  return {trials, steps.counters.evaluations};
}

TEST(EquivalenceTest, ConstructedDataSets) {
  struct Case {
    const char* name;
    int R;
    double n;
    std::vector<std::vector<double>> fail;
    bool stuck, noRoot;  // the B search stops on a repeat / a class equation has no root
  };
  const Case cases[] = {
      {"worked example", 3, 60, {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}}, false, false},
      {"larger solution for t", 2, 20, {{4, 4}, {1, 2}, {4, 3}}, false, false},
      {"outcome -1", 2, 40, {{4, 3}, {9, 6}, {2, 6}}, false, false},
      {"outcome -2", 2, 10, {{2, 2}, {2, 2}, {0, 0}}, false, false},
      {"no disagreements", 3, 30, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, false, false},
      // |G| = 1e-9 at Bt = 1: the root lies within 1e-17 of Bt, where the B
      // equation stays above 1e-12; the trials repeat long before the cap.
      {"G = 1e-9, root next to Bt", 2, 1e9, {{2.5e8, 2.5e8}, {5e8 + 1, 0}, {5e8 + 1, 0}}, true, false},
      {"G = -1e-9, root next to Bt", 2, 1e9, {{2.5e8, 2.5e8}, {5e8 - 1, 0}, {5e8 - 1, 0}}, true, false},
      // Six equal proportions: the minimiser's bracket has a = b.
      {"equal proportions", 6, 22, {{2, 2, 2, 1, 2, 1}, {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 2}}, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchCounters work = ExpectSameBits(testing::MakeModelTables(3, c.R, c.n, {4, 2, 6}, c.fail));
    if (c.stuck) {
      EXPECT_LT(work.bTrials, 200);
    }
    if (c.noRoot) {
      EXPECT_LT(work.evaluations, 20000);
    }
  }
}

struct Sizes {
  std::uint64_t firstSeed;
  int sets, maxK, maxR, maxN;
};

class EquivalenceRandomTest : public ::testing::TestWithParam<Sizes> {};

TEST_P(EquivalenceRandomTest, SameBitsThroughTheDoor) {
  const Sizes z = GetParam();
  for (std::uint64_t seed = z.firstSeed; seed < z.firstSeed + z.sets; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    ExpectSameBits(testing::RandomData(seed, z.maxK, z.maxR, z.maxN));
  }
}

INSTANTIATE_TEST_SUITE_P(Random, EquivalenceRandomTest,
                         ::testing::Values(Sizes{0, 1000, 6, 6, 160}, Sizes{1000, 500, 10, 8, 300}),
                         [](const ::testing::TestParamInfo<Sizes>& info) {
                           return "UpToK" + std::to_string(info.param.maxK) + "R" +
                                  std::to_string(info.param.maxR);
                         });

}  // namespace
}  // namespace zover
