// Whole passes of the program on generated data.
//
// WholePass runs a mode-1 pass in this process (read the responses file,
// build the tables, fit the model, the kappa coefficients and the report
// into a null stream); ModelEntry runs the million answers of the mode-4
// entry of K = R = 1000 in this process, without the model.
//
// Process runs the real program, one process per iteration, on files written
// once into a data folder (deterministic seeds), with its answers on
// standard input from a file (not a terminal, as with a pipe), or as the
// batch command on a long file of 10^7 ratings, and its output sent to
// /dev/null; it reports the process's CPU
// time (user + system) and its peak resident memory, as /usr/bin/time -v
// would. The floor beside the 10^5 file is this benchmark program itself run
// as a tiny streaming tuple counter (--count-tuples FILE): it reads the file
// in 64 KiB chunks, packs each line's classes into one 64-bit key and counts
// the keys in a hash map, which is the least work any reader of the file
// must do. The one-slot rows are built against the tuple counter's former,
// unkeyed hash; with the keyed hash they take about as long as random rows.
//
//   ZOVER_BINARY     the program to measure (default: the one of this build)
//   ZOVER_BENCH_DATA the data folder (default: /tmp/zover_bench_data)
//
// Run one shape at a time for clean figures, e.g.
//   zover_pass_bench --benchmark_filter='Process/mode1_n1e6_R10_K5/'

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "input/input.h"

namespace {

namespace fs = std::filesystem;

// --- Generated data ---------------------------------------------------------

// Takes the text of a generated file piece by piece.
using Write = std::function<void(const std::string&)>;

// A responses file: every object has a true class that each rater gives with
// probability 0.6; otherwise the rater picks any class at random. Written
// line by line through `write`.
void ResponsesLines(int K, int R, long long n, const Write& write) {
  std::mt19937 rng(20261208u);
  std::uniform_int_distribution<int> anyClass(1, K);
  std::bernoulli_distribution agrees(0.6);
  std::string line;
  for (long long o = 0; o < n; ++o) {
    line.clear();
    const int truth = anyClass(rng);
    for (int r = 0; r < R; ++r) {
      if (r > 0) line += ' ';
      line += std::to_string(agrees(rng) ? truth : anyClass(rng));
    }
    line += '\n';
    write(line);
  }
}

std::string ResponsesFile(int K, int R, int n) {
  std::string file;
  ResponsesLines(K, R, n, [&file](const std::string& line) { file += line; });
  return file;
}

// A long file (object, rater, rating) of n objects rated by R raters: rater
// by rater, as annotation tools export them, each rater's objects in a
// shuffled order. Ratings as in ResponsesLines; with `labels` class k is
// written as the text "class-k".
void LongLines(int K, int R, long long n, bool labels, const Write& write) {
  std::mt19937 rng(20261211u);
  std::uniform_int_distribution<int> anyClass(1, K);
  std::bernoulli_distribution agrees(0.6);
  std::vector<int> truth(static_cast<std::size_t>(n));
  for (int& t : truth) t = anyClass(rng);
  std::vector<std::uint32_t> order(static_cast<std::size_t>(n));
  for (std::size_t o = 0; o < order.size(); ++o) order[o] = static_cast<std::uint32_t>(o);
  write("object,rater,rating\n");
  std::string lines;
  for (int r = 0; r < R; ++r) {
    std::shuffle(order.begin(), order.end(), rng);
    for (const std::uint32_t o : order) {
      const int k = agrees(rng) ? truth[o] : anyClass(rng);
      lines += "obj" + std::to_string(o) + ",rater" + std::to_string(r) + "," + (labels ? "class-" : "") +
               std::to_string(k) + "\n";
      if (lines.size() >= (1 << 16)) {
        write(lines);
        lines.clear();
      }
    }
  }
  write(lines);
}

// A frequencies file of `rows` distinct tuples of K = 5 classes and R = 10
// raters (tuple numbers i * 1234567 mod 5^10, distinct because 1234567 is
// prime to 5), each with a frequency from 0 to 1000.
void FrequencyLines(long long rows, const Write& write) {
  const int K = 5, R = 10;
  const long long tuples = 9765625;  // 5^10
  std::mt19937 rng(20261209u);
  std::uniform_int_distribution<int> frequency(0, 1000);
  std::string line;
  for (long long i = 0; i < rows; ++i) {
    long long t = i * 1234567 % tuples;
    std::string classes[R];
    for (int r = R - 1; r >= 0; --r, t /= K) classes[r] = std::to_string(t % K + 1);
    line.clear();
    for (int r = 0; r < R; ++r) line += classes[r] + '\t';
    line += std::to_string(frequency(rng)) + '\n';
    write(line);
  }
}

// Mode-4 answers for K classes and R raters: random agreements (0 .. 200)
// and disagreements (0 .. 2000), the last disagreement made up so that they
// add up to R (n - the agreements) for a whole n.
void ModelAnswers(int K, int R, const Write& write) {
  std::mt19937 rng(20261210u);
  std::uniform_int_distribution<int> agreement(0, 200), disagreement(0, 2000);
  std::vector<long long> s(K), f(static_cast<std::size_t>(K) * R);
  long long agreements = 0, disagreements = 0;
  for (int i = 0; i < K; ++i) {
    agreements += s[i] = agreement(rng);
    for (int r = 0; r < R; ++r) disagreements += f[i * R + r] = disagreement(rng);
  }
  const long long missing = (R - disagreements % R) % R;
  f.back() += missing;
  disagreements += missing;
  const long long n = agreements + disagreements / R;
  write("4\n" + std::to_string(K) + "\n" + std::to_string(R) + "\n" + std::to_string(n) + "\n");
  for (int i = 0; i < K; ++i) {
    std::string lines = std::to_string(s[i]) + "\n";
    for (int r = 0; r < R; ++r) lines += std::to_string(f[i * R + r]) + "\n";
    write(lines);
  }
}

// Rows of R = 16 raters and classes 1 .. 15 whose tuples, packed at 4 bits
// per rater, all fall into one slot of a hash table of up to 2^20 slots
// under the unkeyed splitmix64 finaliser that the tuple counter used to
// hash with: each key is that finaliser's inverse of a number whose low 20
// bits are 0. With `colliding` false, random rows of the same shape.
void SixteenRaterLines(long long n, bool colliding, const Write& write) {
  auto unshift = [](std::uint64_t y, int s) {  // the inverse of x ^= x >> s
    std::uint64_t x = y;
    for (int i = 0; i < 64; i += s) x = y ^ (x >> s);
    return x;
  };
  auto inverse = [](std::uint64_t a) {  // of an odd a, modulo 2^64
    std::uint64_t x = a;
    for (int i = 0; i < 6; ++i) x *= 2 - a * x;
    return x;
  };
  auto unmix = [&](std::uint64_t h) {
    h = unshift(h, 31) * inverse(0x94d049bb133111ebull);
    h = unshift(h, 27) * inverse(0xbf58476d1ce4e5b9ull);
    return unshift(h, 30);
  };
  std::mt19937_64 rng(20261211u);
  std::string line;
  for (long long written = 0, j = 1; written < n; ++j) {
    const std::uint64_t key = colliding ? unmix(static_cast<std::uint64_t>(j) << 20) : rng();
    line.clear();
    bool valid = true;
    for (int r = 15; r >= 0 && valid; --r) {
      const unsigned value = static_cast<unsigned>(key >> (4 * r)) & 15;
      valid = value != 0 || !colliding;
      line += std::to_string(colliding ? value : 1 + value % 15) + (r > 0 ? " " : "\n");
    }
    if (!valid) continue;
    write(line);
    ++written;
  }
}

fs::path DataFolder() {
  const char* set = std::getenv("ZOVER_BENCH_DATA");
  return set != nullptr ? fs::path(set) : fs::path("/tmp/zover_bench_data");
}

// Writes `path` through `fill` unless it exists (a file is renamed into place
// only when complete).
void Generate(const fs::path& path, const std::function<void(const Write&)>& fill) {
  if (fs::exists(path)) return;
  fs::create_directories(path.parent_path());
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary);
    std::string chunk;
    fill([&](const std::string& text) {
      chunk += text;
      if (chunk.size() >= (1 << 20)) {
        out << chunk;
        chunk.clear();
      }
    });
    out << chunk;
  }
  fs::rename(partial, path);
}

// --- Processes ----------------------------------------------------------------

struct Usage {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  double peakMegabytes = 0;
  int status = -1;
};

// Runs `argv` in `folder` with standard input from `input` and standard output
// to /dev/null; its CPU time and peak memory from wait4.
Usage RunProcess(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& input) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    const int in = open(input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  Usage usage;
  int status = 0;
  rusage ru{};
  if (pid < 0 || wait4(pid, &status, 0, &ru) != pid) return usage;
  usage.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  usage.cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  usage.peakMegabytes = static_cast<double>(ru.ru_maxrss) / 1024.0;
  usage.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return usage;
}

std::string ProgramPath() {
  const char* set = std::getenv("ZOVER_BINARY");
  return set != nullptr ? set : ZOVER_PROGRAM;
}

std::string SelfPath() { return fs::read_symlink("/proc/self/exe").string(); }

// One row of the table: the folder of its data file and answers, and what
// runs on them.
struct Shape {
  std::string name;
  std::string folder;
  std::function<void(const fs::path& folder)> prepare;  // writes the files
  bool floor = false;  // the streaming tuple counter instead of the program
  int iterations = 3;
  std::vector<std::string> batch = {};  // the batch command's arguments, if it runs
};

void RunShape(benchmark::State& state, const Shape& shape) {
  const fs::path folder = DataFolder() / shape.folder;
  shape.prepare(folder);
  std::vector<std::string> argv =
      shape.floor ? std::vector<std::string>{SelfPath(), "--count-tuples", "Zover_data.txt"}
                  : std::vector<std::string>{ProgramPath()};
  argv.insert(argv.end(), shape.batch.begin(), shape.batch.end());
  double cpu = 0, peak = 0;
  for (auto _ : state) {
    const Usage usage = RunProcess(argv, folder, folder / "answers");
    if (usage.status != 0) state.SkipWithError("the process failed");
    state.SetIterationTime(usage.wallSeconds);
    cpu += usage.cpuSeconds;
    if (usage.peakMegabytes > peak) peak = usage.peakMegabytes;
  }
  state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
  state.counters["peak_MB"] = peak;
}

void WriteAnswers(const fs::path& folder, const std::string& answers) {
  fs::create_directories(folder);
  std::ofstream(folder / "answers", std::ios::binary) << answers;
}

// Writes a mode-1 folder: the responses file and the answer "1" (the input
// then ends at the end prompt, so the program stops without its pause).
std::function<void(const fs::path&)> RawFolder(int K, int R, long long n) {
  return [=](const fs::path& folder) {
    Generate(folder / "Zover_data.txt", [=](const auto& write) { ResponsesLines(K, R, n, write); });
    WriteAnswers(folder, "1\n");
  };
}

// Writes a mode-1 folder of SixteenRaterLines.
std::function<void(const fs::path&)> SixteenRaterFolder(long long n, bool colliding) {
  return [=](const fs::path& folder) {
    Generate(folder / "Zover_data.txt", [=](const auto& write) { SixteenRaterLines(n, colliding, write); });
    WriteAnswers(folder, "1\n");
  };
}

void RegisterProcesses() {
  const auto mode2 = [](const fs::path& folder) {
    Generate(folder / "Zover_data_freq.txt", [](const auto& write) { FrequencyLines(1000000, write); });
    WriteAnswers(folder, "2\n");
  };
  // The batch command on a long file; its standard input is empty.
  const auto longFile = [](bool labels) {
    return [labels](const fs::path& folder) {
      Generate(folder / "ratings.csv", [labels](const auto& write) { LongLines(5, 10, 1000000, labels, write); });
      WriteAnswers(folder, "");
    };
  };
  const auto mode4 = [](const fs::path& folder) {
    Generate(folder / "answers", [](const auto& write) { ModelAnswers(1000, 1000, write); });
  };
  const Shape shapes[] = {
      {"floor_count_tuples_n1e5_R10_K5", "mode1_n1e5_R10_K5", RawFolder(5, 10, 100000), true, 10},
      {"mode1_n1e5_R10_K5", "mode1_n1e5_R10_K5", RawFolder(5, 10, 100000), false, 10},
      {"mode1_n1e6_R10_K5", "mode1_n1e6_R10_K5", RawFolder(5, 10, 1000000)},
      {"mode1_n1e7_R10_K5", "mode1_n1e7_R10_K5", RawFolder(5, 10, 10000000), false, 1},
      {"mode1_n1e6_R3_K1000", "mode1_n1e6_R3_K1000", RawFolder(1000, 3, 1000000)},
      {"mode1_n1e4_R1000_K5", "mode1_n1e4_R1000_K5", RawFolder(5, 1000, 10000)},
      {"mode1_n2000_R1000_K1000", "mode1_n2000_R1000_K1000", RawFolder(1000, 1000, 2000)},
      {"mode2_rows1e6_R10_K5", "mode2_rows1e6_R10_K5", mode2},
      {"mode4_K1000_R1000", "mode4_K1000_R1000", mode4, false, 1},
      {"mode1_random_n1e5_R16_K15", "mode1_random_n1e5_R16_K15", SixteenRaterFolder(100000, false)},
      {"mode1_one_slot_n1e5_R16_K15", "mode1_one_slot_n1e5_R16_K15", SixteenRaterFolder(100000, true)},
      {"mode1_random_n3e5_R16_K15", "mode1_random_n3e5_R16_K15", SixteenRaterFolder(300000, false)},
      {"mode1_one_slot_n3e5_R16_K15", "mode1_one_slot_n3e5_R16_K15", SixteenRaterFolder(300000, true)},
      {"long_n1e6_R10_K5", "long_n1e6_R10_K5", longFile(false), false, 1,
       {"--long", "--header", "--format", "json", "ratings.csv"}},
      {"long_labels_n1e6_R10_K5", "long_labels_n1e6_R10_K5", longFile(true), false, 1,
       {"--long", "--header", "--labels", "--format", "json", "ratings.csv"}},
  };
  for (const Shape& shape : shapes) {
    benchmark::RegisterBenchmark(("Process/" + shape.name).c_str(),
                                 [shape](benchmark::State& state) { RunShape(state, shape); })
        ->Iterations(shape.iterations)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

// --- The floor: a tiny streaming tuple counter --------------------------------

// Counts the distinct lines of classes 1 .. 15 of at most 16 raters, each
// line packed into a 64-bit key of 4 bits per class. Prints the number of
// objects and of distinct tuples.
int CountTuples(const char* path) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 1;
  std::unordered_map<std::uint64_t, std::uint64_t> counts;
  std::vector<char> buffer(1 << 16);
  std::uint64_t key = 0, objects = 0;
  unsigned value = 0;
  bool inLine = false;
  while (true) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c >= '0' && c <= '9') {
        value = value * 10 + static_cast<unsigned>(c - '0');
        inLine = true;
      } else if (c == '\n') {
        if (inLine) {
          ++counts[key << 4 | value];
          ++objects;
        }
        key = 0;
        value = 0;
        inLine = false;
      } else if (value != 0) {
        key = key << 4 | value;
        value = 0;
      }
    }
  }
  close(fd);
  std::printf("%llu objects, %zu tuples\n", static_cast<unsigned long long>(objects), counts.size());
  return 0;
}

// --- In-process passes ----------------------------------------------------------

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
    if (!zover::Archivo(con, tb.data).ok) state.SkipWithError("file refused");
    zover::BuildTupleTables(tb.data);
    zover::AnalysePass(con, tb);
    state.counters["tuples"] = static_cast<double>(tb.data.frec.size());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

BENCHMARK(WholePass)
    ->Args({2, 17, 1000})
    ->Args({500, 2, 1000})
    ->Args({5, 10, 100000})
    ->Unit(benchmark::kMillisecond);

// The dialogue alone at a million answers: the mode-4 entry of K = R = 1000
// (K, R and n, then 1000 agreements and 10^6 disagreements), read from a
// string stream into a null stream, without the model.
void ModelEntry(benchmark::State& state) {
  std::string answers;
  ModelAnswers(1000, 1000, [&answers](const std::string& text) { answers += text; });
  answers.erase(0, 2);  // the menu's "4"
  NullBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) {
    std::istringstream in(answers);
    zover::Console con{in, out, [](int) {}, [] {}, [](const std::string&) { return nullptr; }};
    zover::ObservedData data;
    zover::Matrix(con, zover::Datos(con, zover::EntryMode::kKeyboardModel), data);
  }
  state.counters["answers"] = 1000 + 1000 * 1000;
}

BENCHMARK(ModelEntry)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--count-tuples") == 0) return CountTuples(argv[2]);
  RegisterProcesses();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
