// No signal, ever: runs the real program on generated hostile sessions
// (random answers, random data files in a fresh working folder) and checks
// that every run ends by itself with status 0 or 1 within a time limit, and
// prints no "nan" or "inf". A last run reads a million identical lines and
// checks that its peak memory stays in proportion to the file.
//
//   zover_no_signal_check BINARY [SESSIONS [SEED]]
//
// A failing session's folder is kept and named, with its answers and files,
// so that it can be replayed by hand: cd FOLDER && BINARY < answers.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/non_finite.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kTimeLimit = std::chrono::seconds(30);
constexpr std::size_t kSessionsAtOnce = 4;

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(int percent) { return Below(100) < percent; }

  std::string RandomBytes(int maxLength, bool newlines) {
    std::string text(static_cast<std::size_t>(Below(maxLength + 1)), '\0');
    for (char& c : text) {
      c = static_cast<char>(Below(256));
      if (!newlines && c == '\n') c = ' ';
    }
    return text;
  }

  // One answer line: mostly numbers that mean something at some prompt.
  std::string Answer() {
    static const char* const kValues[] = {
        "1", "2", "3", "4", "2", "3", "5", "10", "1000", "1001", "1000000000", "1e308", "-1e308",
        "4.9e-324", "0.5", "2.0", "+3", "-2", "nan", "inf", "-inf", "1e999", "0x10", "  7 words", "",
        "99999999999999999999", "1.5e3", "\t3\r", "\xFF\xFE", "1,5",
    };
    switch (Below(10)) {
      case 0: return RandomBytes(60, false);
      case 1: return std::to_string(Below(2000) - 100);
      case 2:
        if (Chance(3)) return std::string(static_cast<std::size_t>(Below(1 << 20)), '9');
        return std::to_string(1 + Below(30));
      default: {
        // A zero ends the program at the end prompt after a pause of three
        // seconds, so it comes rarely.
        if (Chance(1)) return Chance(50) ? "0" : "-0";
        return kValues[Below(static_cast<int>(std::size(kValues)))];
      }
    }
  }

  std::string Answers() {
    std::string text;
    // Mostly a data-entry mode first, so that most sessions get past the menu.
    if (Chance(80)) text += std::to_string(1 + Below(4)) + "\n";
    const int lines = Below(80);
    for (int i = 0; i < lines; ++i) text += Answer() + "\n";
    if (Chance(20)) text += Answer();  // no line end at the end of input
    return text;
  }

  // A data file: random bytes, or lines of class numbers (and a frequency)
  // with random separators, line ends and the odd stray token.
  std::string DataFile(bool frequencies) {
    if (Chance(25)) return RandomBytes(3000, true);
    const int raters = 1 + Below(Chance(10) ? 40 : 5);
    const int classes = 1 + Below(Chance(10) ? 1000 : 5);
    const int lines = Below(Chance(10) ? 400 : 30);
    static const char* const kSeparators[] = {" ", "\t", ",", ";", "  ", " \t"};
    static const char* const kEnds[] = {"\n", "\r\n", "\n", "\r", "\n\n"};
    static const char* const kStray[] = {"0", "-2", "+3", "3.0", "1001", "x", "\xE9", "12345678901234567890"};
    std::string text = Chance(5) ? "\xEF\xBB\xBF" : "";
    const char* end = kEnds[Below(static_cast<int>(std::size(kEnds)))];
    for (int j = 0; j < lines; ++j) {
      const int fields = raters + (frequencies ? 1 : 0) + (Chance(3) ? Below(3) - 1 : 0);
      for (int f = 0; f < fields; ++f) {
        if (f > 0) text += kSeparators[Below(static_cast<int>(std::size(kSeparators)))];
        if (Chance(1)) {
          text += kStray[Below(static_cast<int>(std::size(kStray)))];
        } else if (frequencies && f == fields - 1) {
          text += std::to_string(Chance(5) ? 1000000000 : Below(20));
        } else {
          text += std::to_string(1 + Below(classes));
        }
      }
      text += Chance(2) ? kEnds[Below(static_cast<int>(std::size(kEnds)))] : end;
    }
    return text;
  }

 private:
  std::mt19937 rng_;
};

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Run {
  bool finished = false;  // ended within the time limit
  int wait = 0;           // status from wait4
  long peakKilobytes = 0;
};

struct Child {
  pid_t pid = -1;
  std::chrono::steady_clock::time_point deadline;
};

// Starts `binary` in `folder` with standard input from folder/answers and
// standard output to folder/output.
Child Start(const std::string& binary, const fs::path& folder) {
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(2);
  }
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(120);
    const int in = open("answers", O_RDONLY);
    const int out = open("output", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(121);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(122);
  }
  return Child{pid, std::chrono::steady_clock::now() + kTimeLimit};
}

// The run once the child has ended, or has been killed at its deadline;
// nothing while it is still running.
std::optional<Run> Poll(const Child& child) {
  Run run;
  rusage usage{};
  if (wait4(child.pid, &run.wait, WNOHANG, &usage) == child.pid) {
    run.finished = true;
    run.peakKilobytes = usage.ru_maxrss;
    return run;
  }
  if (std::chrono::steady_clock::now() <= child.deadline) return std::nullopt;
  kill(child.pid, SIGKILL);
  wait4(child.pid, &run.wait, 0, &usage);
  return run;
}

Run RunIn(const std::string& binary, const fs::path& folder) {
  const Child child = Start(binary, folder);
  while (true) {
    if (const auto run = Poll(child)) return *run;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::string Describe(const Run& run) {
  if (!run.finished) return "still running after the time limit";
  if (WIFSIGNALED(run.wait)) return "ended by signal " + std::to_string(WTERMSIG(run.wait));
  return "exit status " + std::to_string(WEXITSTATUS(run.wait));
}

bool EndedThroughDialogue(const Run& run) {
  return run.finished && WIFEXITED(run.wait) && (WEXITSTATUS(run.wait) == 0 || WEXITSTATUS(run.wait) == 1);
}

fs::path MakeFolder(const fs::path& base, const std::string& name) {
  const fs::path folder = base / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " BINARY [SESSIONS [SEED]]\n";
    return 2;
  }
  const std::string binary = fs::absolute(argv[1]).string();
  const int sessions = argc > 2 ? std::atoi(argv[2]) : 300;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 20261208u;
  const fs::path base = fs::temp_directory_path() / ("zover-no-signal-" + std::to_string(getpid()));
  Generator gen(seed);
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();

  // A few sessions run at once, so that the rare one that answers 0 at the
  // end prompt spends its three-second pause beside the others.
  struct Session {
    int index;
    fs::path folder;
    Child child;
  };
  std::vector<Session> running;
  const auto settle = [&](const Session& session, const Run& run) {
    const bool clean = zover::testing::NoLowercaseNonFinite(Read(session.folder / "output"));
    if (EndedThroughDialogue(run) && clean) {
      fs::remove_all(session.folder);
      return;
    }
    ++failures;
    std::cout << "FAILED session " << session.index << " (seed " << seed << "): "
              << (clean ? Describe(run) : "printed nan or inf") << "; kept in " << session.folder << "\n";
  };
  for (int i = 0; i < sessions || !running.empty();) {
    if (i < sessions && running.size() < kSessionsAtOnce) {
      const fs::path folder = MakeFolder(base, "session-" + std::to_string(i));
      Write(folder / "answers", gen.Answers());
      if (!gen.Chance(10)) Write(folder / "Zover_data.txt", gen.DataFile(false));
      if (!gen.Chance(10)) Write(folder / "Zover_data_freq.txt", gen.DataFile(true));
      running.push_back({i, folder, Start(binary, folder)});
      ++i;
      continue;
    }
    bool ended = false;
    for (auto it = running.begin(); it != running.end();) {
      if (const auto run = Poll(it->child)) {
        settle(*it, *run);
        it = running.erase(it);
        ended = true;
      } else {
        ++it;
      }
    }
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }

  // A million identical lines: the run's peak memory stays in proportion to
  // the 7 MB file, whatever the number of classes.
  {
    const fs::path folder = MakeFolder(base, "million-lines");
    std::string lines;
    for (int i = 0; i < 1000001; ++i) lines += "1000 1\n";
    Write(folder / "Zover_data.txt", lines);
    Write(folder / "answers", "1\n");
    const Run run = RunIn(binary, folder);
    const long limit = 1L << 20;  // kilobytes: 1 GB, against 4 GB for a table of n by K
    if (!EndedThroughDialogue(run) || run.peakKilobytes > limit) {
      ++failures;
      std::cout << "FAILED million identical lines: " << Describe(run) << ", peak " << run.peakKilobytes
                << " KB; kept in " << folder << "\n";
    } else {
      fs::remove_all(folder);
      std::cout << "million identical lines: peak " << run.peakKilobytes << " KB\n";
    }
  }
  if (failures == 0) fs::remove_all(base);

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "sessions run in " << seconds << " s\n";
  std::cout << sessions + 1 - failures << " passed, " << failures << " failed\n";
  return failures == 0 ? 0 : 1;
}
