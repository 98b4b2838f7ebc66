// The readers alone: ReadData on the files of bench/reader_files.py (the
// data folder ZOVER_READER_FILES, default /tmp/zover_reader_files), one
// file per benchmark, every iteration reading the whole file into counted
// tuples and the class tables, without the analysis. The CPU time is the
// process's; beside it, the whole program on the same file
// (doc/performance.md, "The readers against the floor"):
//
//   zover_reader_bench --benchmark_filter='Read/raw/'

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "analysis/analysis.h"
#include "console/system_io.h"

namespace {

std::string Folder() {
  const char* folder = std::getenv("ZOVER_READER_FILES");
  return folder != nullptr ? folder : "/tmp/zover_reader_files";
}

void Read(benchmark::State& state, const std::string& file, zover::ReadOptions options) {
  const std::string path = Folder() + "/" + file;
  for (auto _ : state) {
    std::string why;
    const auto source = zover::OpenDataFile(path, &why);
    if (!source) {
      state.SkipWithError((path + ": " + why + " (run bench/reader_files.py)").c_str());
      return;
    }
    const zover::Dataset data = zover::ReadData(*source, file, options);
    if (!data.ok()) {
      state.SkipWithError(data.error.c_str());
      return;
    }
    state.counters["tuples"] = static_cast<double>(data.data.frec.size() + data.data.incompleteTuples.size());
  }
}

void Register() {
  zover::ReadOptions raw;
  zover::ReadOptions missing;
  missing.missing = true;
  zover::ReadOptions wide;
  wide.header = wide.id = wide.labels = true;
  zover::ReadOptions longLabels;
  longLabels.layout = zover::Layout::kLong;
  longLabels.header = longLabels.labels = true;
  const struct {
    const char* name;
    const char* file;
    zover::ReadOptions options;
  } shapes[] = {
      {"Read/raw", "raw.csv", raw},
      {"Read/raw_na", "raw_na.csv", missing},
      {"Read/raw_complete_missing", "raw.csv", missing},
      {"Read/wide_labels", "wide_labels.csv", wide},
      {"Read/long_labels", "long_labels.csv", longLabels},
  };
  for (const auto& shape : shapes) {
    const std::string file = shape.file;
    const zover::ReadOptions options = shape.options;
    benchmark::RegisterBenchmark(shape.name, [file, options](benchmark::State& state) { Read(state, file, options); })
        ->MeasureProcessCPUTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
