// The real program against the system's special cases: data files that are
// no regular files, output that cannot be written, a reader that quits early,
// a line beyond the limit. Every run must end by itself, without a signal,
// with the expected status and messages, and within its time and memory.
//
//   zover_system_check BINARY

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Output { kFile, kFull, kClosed, kEarlyClose };

struct Case {
  const char* name;
  void (*setUp)(const fs::path& folder);
  std::vector<std::string> args;
  std::string answers;  // unless setUp has written them
  Output output;
  int status;
  std::string stdoutHas;  // "" for no check
  std::string stderrIs;
  double seconds;  // time limit
  long peakKilobytes;
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Result {
  bool finished = false;
  int wait = 0;
  long peakKilobytes = 0;
  double seconds = 0;
};

Result RunCase(const std::string& binary, const fs::path& folder, const Case& c) {
  if (!fs::exists(folder / "answers")) std::ofstream(folder / "answers", std::ios::binary) << c.answers;
  int pipeEnds[2] = {-1, -1};
  if (c.output == Output::kEarlyClose && pipe(pipeEnds) != 0) std::exit(2);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) std::exit(2);
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(120);
    const int in = open("answers", O_RDONLY);
    const int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int out = -1;
    switch (c.output) {
      case Output::kFile: out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644); break;
      case Output::kFull: out = open("/dev/full", O_WRONLY); break;
      case Output::kClosed: break;
      case Output::kEarlyClose: out = pipeEnds[1]; close(pipeEnds[0]); break;
    }
    if (in < 0 || err < 0 || dup2(in, 0) < 0 || dup2(err, 2) < 0) _exit(121);
    if (out >= 0 ? dup2(out, 1) < 0 : close(1) != 0) _exit(121);
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(122);
  }
  if (c.output == Output::kEarlyClose) {
    // Read a few bytes, as `head -c 10` does, then go away.
    close(pipeEnds[1]);
    char bytes[10];
    std::size_t got = 0;
    while (got < sizeof bytes) {
      const ssize_t n = read(pipeEnds[0], bytes + got, sizeof bytes - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    close(pipeEnds[0]);
  }
  Result r;
  rusage usage{};
  const auto deadline = start + std::chrono::duration<double>(c.seconds);
  while (true) {
    if (wait4(pid, &r.wait, WNOHANG, &usage) == pid) {
      r.finished = true;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &r.wait, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKilobytes = usage.ru_maxrss;
  return r;
}

const char* const kOpenError = "\nERROR opening file. \n\n";

void Fifo(const fs::path& folder) { mkfifo((folder / "Zover_data.txt").c_str(), 0644); }
void Folder(const fs::path& folder) { fs::create_directory(folder / "Zover_data.txt"); }
void LinkToZero(const fs::path& folder) { fs::create_symlink("/dev/zero", folder / "Zover_data.txt"); }
void Nothing(const fs::path&) {}
// One line of 2 GB: a sparse file of NUL bytes without a line end.
void HugeLine(const fs::path& folder) {
  const int fd = open((folder / "Zover_data.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ftruncate(fd, 2L << 30) != 0) std::exit(2);
  close(fd);
}
void SmallFile(const fs::path& folder) {
  std::ofstream(folder / "Zover_data.txt") << "1 2\n2 2\n1 1\n";
}

// A 100 MB answer: blanks, then the menu choice, then 1 MB of other text.
// Written in pieces, so that no copy of it is in memory at the fork.
void HugeAnswer(const fs::path& folder) {
  SmallFile(folder);
  std::ofstream answers(folder / "answers", std::ios::binary);
  const std::string blanks(1 << 20, ' ');
  for (int i = 0; i < 100; ++i) answers << blanks;
  answers << "1" << std::string(1 << 20, 'x') << "\n";
}

std::string Passes(int count) {
  std::string answers;
  for (int i = 0; i < count; ++i) answers += "1\n1\n";
  return answers;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " BINARY\n";
    return 2;
  }
  const std::string binary = fs::absolute(argv[1]).string();
  const std::string full = "zover: cannot write the output: No space left on device\n";
  const Case cases[] = {
      {"FIFO as data file", Fifo, {}, "1\n", Output::kFile, 0, kOpenError, "", 1, 0},
      {"folder as data file", Folder, {}, "1\n", Output::kFile, 0, kOpenError, "", 1, 0},
      {"link to /dev/zero", LinkToZero, {}, "1\n", Output::kFile, 0, kOpenError, "", 1, 0},
      {"one line of 2 GB", HugeLine, {}, "1\n", Output::kFile, 0,
       "\nERROR in file \"Zover_data.txt\", line 1: longer than 1048576 bytes.\n", "", 10, 64 << 10},
      {"--version into /dev/full", Nothing, {"--version"}, "", Output::kFull, 1, "", full, 5, 0},
      {"--help into /dev/full", Nothing, {"--help"}, "", Output::kFull, 1, "", full, 5, 0},
      {"session into /dev/full", SmallFile, {}, "1\n0\n", Output::kFull, 1, "", full, 5, 0},
      {"closed standard output", SmallFile, {}, "1\n", Output::kClosed, 1, "",
       "zover: cannot write the output: Bad file descriptor\n", 5, 0},
      {"reader quits early", SmallFile, {}, Passes(2000), Output::kEarlyClose, 1, "", "", 20, 0},
      {"100 MB answer line", HugeAnswer, {}, "", Output::kFile, 0, "\n\n Raw = 0.6667 and n = 3", "", 20, 64 << 10},
  };
  const fs::path base = fs::temp_directory_path() / ("zover-system-" + std::to_string(getpid()));
  int failures = 0;
  for (const Case& c : cases) {
    const fs::path folder = base / c.name;
    fs::create_directories(folder);
    c.setUp(folder);
    const Result r = RunCase(binary, folder, c);
    std::string fault;
    if (!r.finished) {
      fault = "still running after " + std::to_string(c.seconds) + " s";
    } else if (WIFSIGNALED(r.wait)) {
      fault = "ended by signal " + std::to_string(WTERMSIG(r.wait));
    } else if (WEXITSTATUS(r.wait) != c.status) {
      fault = "exit status " + std::to_string(WEXITSTATUS(r.wait));
    } else if (!c.stdoutHas.empty() && Read(folder / "stdout").find(c.stdoutHas) == std::string::npos) {
      fault = "standard output lacks the message";
    } else if (Read(folder / "stderr") != c.stderrIs) {
      fault = "standard error is \"" + Read(folder / "stderr") + "\"";
    } else if (c.peakKilobytes > 0 && r.peakKilobytes > c.peakKilobytes) {
      fault = "peak memory " + std::to_string(r.peakKilobytes) + " KB";
    }
    std::cout << (fault.empty() ? "ok     " : "FAILED ") << c.name << ": " << r.seconds << " s, peak "
              << r.peakKilobytes << " KB" << (fault.empty() ? "" : "; " + fault) << "\n";
    failures += !fault.empty();
  }
  if (failures == 0) fs::remove_all(base);
  return failures == 0 ? 0 : 1;
}
