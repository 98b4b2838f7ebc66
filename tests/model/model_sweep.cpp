// The wide cross-check: the model's double fit against the 50-digit
// reference on many EdgeData sets, larger than the test suite can afford.
//
//     zover_model_sweep [first seed] [sets] [largest K R]
//
// (defaults 0, 3000, 400). Prints every data set with a mismatch, then the
// totals: fits compared, fits with the allowance for a flat B equation,
// fits whose B double precision cannot determine, the largest relative
// error of B, and the time of the fits and of the whole check.

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "model/cross_check.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const std::uint64_t first = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 0;
  const std::uint64_t sets = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 3000;
  const int maxCells = argc > 3 ? std::atoi(argv[3]) : 400;

  int fits = 0, flat = 0, undetermined = 0, failed = 0, largest = 0;
  double worstB = 0, fitSeconds = 0;
  const Clock::time_point start = Clock::now();
  for (std::uint64_t seed = first; seed < first + sets; ++seed) {
    const zover::ModelTables data = zover::testing::EdgeData(seed).Draw(maxCells);
    if (data.K * data.R > largest) largest = data.K * data.R;
    zover::ModelTables alone = data;  // the fit alone, timed as the driver runs it
    const Clock::time_point fitStart = Clock::now();
    zover::Fit(alone);
    fitSeconds += std::chrono::duration<double>(Clock::now() - fitStart).count();

    const zover::testing::CrossCheckResult result = zover::testing::CrossCheck(data);
    fits += result.fitsChecked;
    flat += result.flat;
    undetermined += result.undetermined;
    if (result.worstB > worstB) worstB = result.worstB;
    if (result.mismatches.empty()) continue;
    ++failed;
    std::printf("seed %llu (K=%d R=%d n=%.0f): %zu mismatches\n", static_cast<unsigned long long>(seed),
                data.K, data.R, data.N, result.mismatches.size());
    for (const zover::testing::Mismatch& m : result.mismatches)
      std::printf("  %s: %.17g, reference %.17g\n", m.what.c_str(), m.got, m.want);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%llu data sets (K R up to %d): %d fits compared, %d with a flat B equation, "
              "%d beyond double precision; largest relative error of B %.2g; "
              "%d data sets with mismatches; fits %.2f s, whole check %.1f s\n",
              static_cast<unsigned long long>(sets), largest, fits, flat, undetermined, worstB, failed,
              fitSeconds, seconds);
  return failed == 0 ? 0 : 1;
}
