// A whole mode-1 pass (read the responses file, build the tables, fit the
// model, the kappa coefficients and the report into a null stream) on
// generated files of several shapes, with the peak memory of the process.
//
// Run one shape per process for a clean peak-memory figure, e.g.
//   zover_bench --benchmark_filter='WholePass/5/10/100000'

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ostream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>

#include "driver/driver.h"
#include "input/input.h"

namespace {

// A responses file: every object has a true class that each rater gives with
// probability 0.6; otherwise the rater picks any class at random.
std::string ResponsesFile(int K, int R, int n) {
  std::mt19937 rng(20261208u);
  std::uniform_int_distribution<int> anyClass(1, K);
  std::bernoulli_distribution agrees(0.6);
  std::string file;
  for (int o = 0; o < n; ++o) {
    const int truth = anyClass(rng);
    for (int r = 0; r < R; ++r) {
      if (r > 0) file += ' ';
      file += std::to_string(agrees(rng) ? truth : anyClass(rng));
    }
    file += '\n';
  }
  return file;
}

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void WholePass(benchmark::State& state) {
  const int K = static_cast<int>(state.range(0));
  const int R = static_cast<int>(state.range(1));
  const int n = static_cast<int>(state.range(2));
  const std::string file = ResponsesFile(K, R, n);
  NullBuffer sink;
  std::ostream out(&sink);
  std::istringstream noAnswers;
  zover::Console con{noAnswers, out, [](int) {}, [] {},
                     [&file](const std::string&) -> std::unique_ptr<zover::DataSource> {
                       return std::make_unique<zover::StringSource>(file);
                     }};
  for (auto _ : state) {
    zover::Tables tb;
    tb.entrada = 1;
    if (!zover::Archivo(con, tb).ok) state.SkipWithError("file refused");
    zover::SizeWorkingTables(tb);
    zover::TablaInicial(tb);
    zover::TablaFleiss(tb);
    zover::AnalysePass(con, tb);
    state.counters["tuples"] = static_cast<double>(tb.frec.size());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

BENCHMARK(WholePass)
    ->Args({2, 17, 1000})
    ->Args({500, 2, 1000})
    ->Args({5, 10, 100000})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
