// The coefficients of rater pairs, raters and objects on generated data.
//
// Each object has a true class; each rater gives it with probability 0.7
// and a class at random otherwise, and leaves a share of the ratings out
// (missing). The tuples are counted once, as a reader counts them, outside
// the timing.
//
//   Pairs/R/n/missing%    ComputePairs, every pair (no cap)
//   Raters/R/n/missing%   ComputeRaterSummaries
//   Conger/R/n/missing%   ComputeCongerKappa, unweighted
//   Light/R/n/samples     ComputeLightKappa with its bootstrap
//   Objects/R/n           ComputeObjectSummaries of kept objects
//
// Run one shape at a time for clean figures, e.g.
//   zover_pairs_bench --benchmark_filter='Pairs/100/100000/0/'

#include <benchmark/benchmark.h>

#include <map>
#include <utility>
#include <vector>

#include "input/tuple_counter.h"
#include "kappa/pairs.h"
#include "kappa/random.h"

namespace {

using zover::ObservedData;

constexpr int kClasses = 5;

// The observed data of n objects by R raters, the same for the same shape.
const ObservedData& Data(int R, long n, int missingPercent, bool keep = false) {
  static std::map<std::vector<long>, ObservedData> made;
  const std::vector<long> key{R, n, missingPercent, keep ? 1 : 0};
  auto found = made.find(key);
  if (found != made.end()) return found->second;
  zover::SplitMix64 random(static_cast<std::uint64_t>(R) * 1000003u + static_cast<std::uint64_t>(n));
  zover::TupleCounter complete(R, 1), incomplete(R, 2);
  std::vector<std::uint16_t> values(static_cast<std::size_t>(R));
  ObservedData tb;
  tb.R = R;
  tb.K = kClasses;
  tb.objects.kept = keep;
  tb.objects.raters = R;
  for (long i = 0; i < n; ++i) {
    const auto truth = static_cast<std::uint16_t>(1 + random.Next() % kClasses);
    bool missing = false;
    for (int g = 0; g < R; ++g) {
      if (random.Uniform() * 100 < missingPercent) {
        values[g] = 0;
        missing = true;
        continue;
      }
      values[g] = random.Uniform() < 0.7 ? truth : static_cast<std::uint16_t>(1 + random.Next() % kClasses);
    }
    if (missing) {
      incomplete.Add(values.data());
    } else {
      complete.AddObject(values.data());
      tb.Norg += 1;
    }
    if (keep) {
      tb.objects.ratings.insert(tb.objects.ratings.end(), values.begin(), values.end());
      tb.objects.lines.push_back(i + 1);
    }
  }
  tb.frec = complete.Finish();
  tb.incompleteTuples = incomplete.Finish();
  return made.emplace(key, std::move(tb)).first->second;
}

void Pairs(benchmark::State& state) {
  const ObservedData& tb = Data(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
  for (auto _ : state) {
    zover::PairwiseResults pairs = zover::ComputePairs(tb, {}, SIZE_MAX);
    benchmark::DoNotOptimize(pairs.pairs.data());
  }
}
BENCHMARK(Pairs)->Args({10, 100000, 0})->Args({100, 100000, 0})->Args({100, 100000, 10})->Args({1000, 1000, 0})
    ->Args({1000, 10000, 0})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

void Raters(benchmark::State& state) {
  const ObservedData& tb = Data(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
  for (auto _ : state) benchmark::DoNotOptimize(zover::ComputeRaterSummaries(tb).data());
}
BENCHMARK(Raters)->Args({100, 100000, 0})->Args({100, 100000, 10})->Args({1000, 10000, 0})
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

void Conger(benchmark::State& state) {
  const ObservedData& tb = Data(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
  for (auto _ : state) benchmark::DoNotOptimize(zover::ComputeCongerKappa(tb, {}).estimate);
}
BENCHMARK(Conger)->Args({100, 100000, 0})->Args({100, 100000, 10})->Args({1000, 10000, 0})
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

void Light(benchmark::State& state) {
  const ObservedData& tb = Data(static_cast<int>(state.range(0)), state.range(1), 10);
  const zover::PairwiseResults pairs = zover::ComputePairs(tb, {}, SIZE_MAX);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zover::ComputeLightKappa(tb, pairs, state.range(2), 1, 1e12).ci95);
  }
}
BENCHMARK(Light)->Args({10, 1000, 1000})->Args({10, 10000, 1000})->Args({100, 1000, 100})
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

void Objects(benchmark::State& state) {
  const ObservedData& tb = Data(static_cast<int>(state.range(0)), state.range(1), 10, true);
  for (auto _ : state) benchmark::DoNotOptimize(zover::ComputeObjectSummaries(tb.objects, kClasses).disputed.data());
}
BENCHMARK(Objects)->Args({100, 100000})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
