// Time of one full estimation of the model (Search1, Search2, Search3,
// parametros, desviaciones), beside the work counted: B trials and
// evaluations of the class equations. The label shows B0 and var_suc to 17
// digits, so that runs can be seen to give the same output.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/model.h"
#include "tables/tables.h"

namespace {

using zover::ModelTables;

ModelTables Sized(int K, int R, double n) {
  ModelTables tb(K, R);
  tb.N = n;
  return tb;
}

// The worked example with three raters and three classes, n = 60.
ModelTables WorkedExample() {
  ModelTables tb = Sized(3, 3, 60);
  const double success[] = {8, 9, 8};
  const double fail[3][3] = {{9, 11, 15}, {14, 12, 7}, {12, 12, 13}};
  for (int i = 0; i < 3; ++i) {
    tb.success[i] = success[i];
    for (int r = 0; r < 3; ++r) tb.fail[i][r] = fail[i][r];
  }
  return tb;
}

// n objects, each with a true class that every rater gives with probability
// 0.6 (otherwise a uniformly drawn class); fixed seed.
ModelTables RandomResponses(int K, int R, int n) {
  std::mt19937_64 rng(20240601);
  auto uniform = [&rng] { return static_cast<double>(rng() >> 11) * 0x1.0p-53; };
  auto draw = [&rng, K] { return static_cast<int>(rng() % static_cast<std::uint64_t>(K)); };
  ModelTables tb = Sized(K, R, n);
  std::vector<int> row(R);
  for (int o = 0; o < n; ++o) {
    const int truth = draw();
    bool unanimous = true;
    for (int r = 0; r < R; ++r) {
      row[r] = uniform() < 0.6 ? truth : draw();
      unanimous = unanimous && row[r] == row[0];
    }
    if (unanimous)
      tb.success[row[0]] += 1;
    else
      for (int r = 0; r < R; ++r) tb.fail[row[r]][r] += 1;
  }
  return tb;
}

void Estimate(ModelTables& tb) {
  zover::Search1(tb, tb.N);
  zover::Search2(tb, tb.Bt);
  zover::Search3(tb, tb.t);
  zover::parametros(tb, 1);
  zover::desviaciones(tb, 1, tb.acglobal);
}

void BM_Estimation(benchmark::State& state, ModelTables (*make)()) {
  const ModelTables data = make();
  ModelTables tb;
  for (auto _ : state) {
    state.PauseTiming();
    tb = data;
    state.ResumeTiming();
    Estimate(tb);
    benchmark::ClobberMemory();
  }
  state.counters["bTrials"] = static_cast<double>(tb.counters.bTrials);
  state.counters["evaluations"] = static_cast<double>(tb.counters.evaluations);
  char label[96];
  std::snprintf(label, sizeof label, "B0=%.17g var_suc=%.17g", tb.B0, tb.var_suc);
  state.SetLabel(label);
}

ModelTables Random10x10() { return RandomResponses(10, 10, 200); }
ModelTables Random50x50() { return RandomResponses(50, 50, 1000); }
ModelTables Random1000x100() { return RandomResponses(1000, 100, 100000); }
ModelTables Random1000x1000() { return RandomResponses(1000, 1000, 100000); }

// The names keep the "_fast" of the time when the searches also ran their
// literal loops, so that figures stay comparable.
BENCHMARK_CAPTURE(BM_Estimation, K3R3_n60_fast, WorkedExample)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Estimation, K10R10_n200_fast, Random10x10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Estimation, K50R50_n1000_fast, Random50x50)->Unit(benchmark::kMillisecond);
// Many classes and many raters, one estimation each.
BENCHMARK_CAPTURE(BM_Estimation, K1000R100_n100000_fast, Random1000x100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Estimation, K1000R1000_n100000_fast, Random1000x1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
