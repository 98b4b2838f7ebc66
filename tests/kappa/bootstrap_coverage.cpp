// How often the bootstrap interval of Krippendorff's alpha covers the alpha
// of the population that the data were drawn from.
//
//     zover_bootstrap_coverage            the test: four rows, each within 0.90 to 0.98
//     zover_bootstrap_coverage --table    the full table of both methods, by hand
//
// The data: K = 5 classes of shares 0.3, 0.25, 0.2, 0.15 and 0.1; each
// object has a true class drawn from them, and each of its R ratings is the
// true class with probability q, else a class drawn from the same shares.
// Two ratings of one object then agree beyond chance with probability q^2,
// and alpha (nominal, or at any other level) of the population is q^2 = 0.6.
// With missing ratings each rating is left out with probability 0.3. The
// random numbers are the program's own, so the table is the same everywhere.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "kappa/ordered.h"
#include "kappa/random.h"

namespace {

using namespace zover;

constexpr double kAlpha = 0.6;
constexpr int kClasses = 5;
constexpr double kShares[kClasses] = {0.3, 0.25, 0.2, 0.15, 0.1};

int DrawClass(SplitMix64& random) {
  double u = random.Uniform();
  for (int k = 0; k < kClasses - 1; ++k) {
    if ((u -= kShares[k]) < 0) return k;
  }
  return kClasses - 1;
}

std::vector<RatingPattern> DrawData(SplitMix64& random, int n, int R, double missing) {
  std::map<std::vector<std::pair<int, int>>, double> weights;
  const double q = std::sqrt(kAlpha);
  for (int i = 0; i < n; ++i) {
    const int truth = DrawClass(random);
    std::map<int, int> counts;
    for (int r = 0; r < R; ++r) {
      const int rating = random.Uniform() < q ? truth : DrawClass(random);
      if (!(random.Uniform() < missing)) ++counts[rating];
    }
    weights[{counts.begin(), counts.end()}] += 1;
  }
  std::vector<RatingPattern> patterns;
  for (const auto& [counts, weight] : weights) patterns.push_back({weight, counts});
  return patterns;
}

struct Row {
  int n, R;
  double missing;
};

struct Coverage {
  double covered = 0;  // share of the data sets whose interval holds kAlpha
  double width = 0;    // mean width of the intervals
  int sets = 0;        // data sets with an interval
};

Coverage Simulate(const Row& row, BootstrapMethod method, int sets, long samples, std::uint64_t seed) {
  SplitMix64 random(seed);
  Coverage c;
  const std::vector<double> values = ClassValues({}, kClasses);
  for (int s = 0; s < sets; ++s) {
    const std::vector<RatingPattern> patterns = DrawData(random, row.n, row.R, row.missing);
    const LeveledAlpha a = ComputeLeveledAlpha(PatternsOf(patterns), values, AlphaLevel::kNominal,
                                               {samples, seed + static_cast<std::uint64_t>(s), method});
    if (!a.ci) continue;
    ++c.sets;
    c.covered += a.ci->first <= kAlpha && kAlpha <= a.ci->second;
    c.width += a.ci->second - a.ci->first;
  }
  c.covered /= c.sets;
  c.width /= c.sets;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--table") == 0) {
    std::printf("| n | R | missing | objects: coverage | width | pairs: coverage | width |\n|---|---|---|---|---|---|---|\n");
    for (const double missing : {0.0, 0.3}) {
      for (const int R : {2, 5}) {
        for (const int n : {20, 50, 200}) {
          const Row row{n, R, missing};
          const Coverage objects = Simulate(row, BootstrapMethod::kObjects, 200, 1000, 2024);
          const Coverage pairs = Simulate(row, BootstrapMethod::kPairs, 200, 1000, 2024);
          std::printf("| %d | %d | %.0f %% | %.3f | %.3f | %.3f | %.3f |\n", n, R, 100 * missing, objects.covered,
                      objects.width, pairs.covered, pairs.width);
          std::fflush(stdout);
        }
      }
    }
    return 0;
  }
  // The test: two and five raters, with and without missing ratings, 150
  // data sets of 100 objects each; the objects method within 0.90 to 0.98.
  int failed = 0;
  for (const Row& row : {Row{100, 2, 0}, Row{100, 5, 0}, Row{100, 2, 0.3}, Row{100, 5, 0.3}}) {
    const Coverage c = Simulate(row, BootstrapMethod::kObjects, 150, 1000, 7);
    const bool ok = c.sets == 150 && c.covered >= 0.90 && c.covered <= 0.98;
    std::printf("n = %d, R = %d, %.0f %% missing: coverage %.3f, mean width %.3f%s\n", row.n, row.R,
                100 * row.missing, c.covered, c.width, ok ? "" : "  OUTSIDE 0.90 TO 0.98");
    failed += !ok;
  }
  return failed == 0 ? 0 : 1;
}
