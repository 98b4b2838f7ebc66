// The batch command of the real program where scripts and attackers push
// it: memory limits, outputs that are special files, protected files or
// links, the file size limit, signals while the output file is written,
// names that are not UTF-8 or would be spreadsheet formulas. Each row runs
// shell commands in a fresh folder and checks the exit status, standard
// output and standard error, and every file left in the folder with its type
// and permission bits.
//
//   zover_batch_check BINARY [--no-memory-limits]
//
// --no-memory-limits leaves out the runs under `ulimit -v`, which cannot work
// under AddressSanitizer (it reserves terabytes of address space). Rows that
// need root (a device made with mknod, a file of another owner) are skipped
// with one line otherwise.

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Need { kAnyone, kRoot, kNotRoot };  // kNotRoot: root runs it as nobody

struct Row {
  const char* name;
  std::string setUp;    // shell commands that make the folder's files
  std::string command;  // shell commands; $Z is the program
  int status;           // 128 + n: ended by signal n
  std::string out;      // standard output; "^text": begins with text
  std::string err;
  std::string files;    // the folder afterwards: name:type+mode (or name->target), by name
  Need need = Need::kAnyone;
  int signal = 0;  // sent once the temporary file r.json.XXXXXX exists
};

// A run under `ulimit -v` for each limit: either the whole result and status
// 0, or the memory message, status 1 and nothing written.
struct Sweep {
  const char* name;
  std::string setUp;
  std::string command;  // after "ulimit -v LIMIT; "
  int from, to, step;   // limits in KB
};

struct Outcome {
  int status = -1;
  std::string out, err, files;
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  std::string listing;
  for (const std::string& name : names) {
    struct stat info {};
    lstat((folder / name).c_str(), &info);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", info.st_mode & 07777);
    const char type = S_ISLNK(info.st_mode)   ? 'l'
                      : S_ISFIFO(info.st_mode) ? 'p'
                      : S_ISCHR(info.st_mode)  ? 'c'
                      : S_ISDIR(info.st_mode)  ? 'd'
                                               : '-';
    listing += (listing.empty() ? "" : " ") + name;
    listing += type == 'l' ? "->" + fs::read_symlink(folder / name).string() : ":" + std::string(1, type) + mode;
  }
  return listing;
}

// Runs `command` by /bin/sh in `folder`, with the signals at their defaults;
// with `signal`, sends it to the program as soon as r.json.XXXXXX appears
// (the command must exec the program). Status -1: ended after 60 s.
Outcome Run(const std::string& binary, const fs::path& folder, const std::string& command, bool asNobody,
            int signal) {
  const fs::path out = folder.string() + ".out", err = folder.string() + ".err";
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (signal != 0) inotify_add_watch(watch, folder.c_str(), IN_CREATE);
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) std::signal(s, SIG_DFL);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (chdir(folder.c_str()) != 0 || o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || dup2(in, 0) < 0) _exit(120);
    if (asNobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(121);
    setenv("Z", binary.c_str(), 1);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(122);
  }
  // A command that hangs (a FIFO nobody writes) is ended with its children.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int wait = 0;
  bool ended = false, late = false;
  while (!(ended = waitpid(pid, &wait, WNOHANG) == pid) && !late) {
    late = std::chrono::steady_clock::now() > deadline;
    if (late) kill(-pid, SIGKILL);
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 10) <= 0) continue;
    alignas(inotify_event) char events[4096];
    const ssize_t got = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < got && signal != 0;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->len > 0 && std::string(event->name).rfind("r.json.", 0) == 0) {
        kill(pid, signal);
        signal = 0;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (!ended) waitpid(pid, &wait, 0);
  close(watch);
  Outcome outcome;
  outcome.status = late ? -1 : WIFSIGNALED(wait) ? 128 + WTERMSIG(wait) : WEXITSTATUS(wait);
  outcome.out = Read(out);
  outcome.err = Read(err);
  outcome.files = Listing(folder);
  return outcome;
}

// A fresh folder with the row's files; writable for nobody when it runs there.
Outcome SetUpAndRun(const std::string& binary, const fs::path& folder, const std::string& setUp,
                    const std::string& command, bool asNobody, int signal) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  if (asNobody) fs::permissions(folder, fs::perms::all);
  if (Run(binary, folder, setUp, false, 0).status != 0) return {};
  return Run(binary, folder, command, asNobody, signal);
}

std::string Fault(const Outcome& got, int status, const std::string& out, const std::string& err,
                  const std::string& files) {
  const bool outMatches = out.rfind('^', 0) == 0 ? got.out.rfind(out.substr(1), 0) == 0 : got.out == out;
  if (got.status < 0) return "still running after 60 s";
  if (got.status != status) return "status " + std::to_string(got.status) + "; standard error: " + got.err;
  if (!outMatches) return "standard output is \"" + got.out.substr(0, 400) + "\"";
  if (got.err != err) return "standard error is \"" + got.err + "\"";
  if (got.files != files) return "the folder holds " + got.files;
  return "";
}

// Two raters, three objects.
const std::string kData = "printf '1 2\\n2 2\\n1 1\\n' > d.txt";
// 40 objects of R raters and up to K classes (K = R = 200: a result of
// about 1.7 MB in JSON).
std::string Generated(int K, int R, const char* name) {
  return "awk 'BEGIN{srand(1); for(i=0;i<40;i++){for(r=0;r<" + std::to_string(R) + ";r++) printf \"%d%s\", 1+int(rand()*" +
         std::to_string(K) + "), (r<" + std::to_string(R - 1) + "?\" \":\"\\n\")}}' > " + name;
}
// Model data of K = R = 300 for 100 objects: 10 agreements in class 1, and
// each rater's 90 disagreements in one class.
const std::string kModel =
    "awk 'BEGIN{K=300; R=300; print K, R, 100; for(i=1;i<=K;i++){l=(i==1?10:0); "
    "for(r=1;r<=R;r++) l=l\" \"((r-1)%K+1==i?90:0); print l}}' > m.txt";

const std::string kCsvHeader =
    "measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,class_label,objects_used,rater2,class2,count\n";
const std::string kMemory = "zover: ERROR: not enough memory for these data.\n";
const std::string kTooLarge = "zover: cannot write the output: File too large\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " BINARY [--no-memory-limits]\n";
    return 2;
  }
  const std::string binary = fs::absolute(argv[1]).string();
  const bool memoryLimits = !(argc > 2 && std::string(argv[2]) == "--no-memory-limits");
  const bool root = geteuid() == 0;
  umask(022);
  const std::string longName(255, 'a');
  const Row rows[] = {
      // Outputs that are not regular files are written into; "-" is standard output.
      {"-o onto a FIFO", kData + "; mkfifo f",
       "cat f > got & $Z -o f --format csv d.txt; s=$?; wait; head -n 1 got; exit $s", 0, kCsvHeader, "",
       "d.txt:-644 f:p644 got:-644"},
      {"-o onto a character device", kData + "; mknod null c 1 3", "$Z -o null d.txt", 0, "", "",
       "d.txt:-644 null:c644", Need::kRoot},
      // A link of its own as /dev/stdout is, so that a program that replaced
      // the link could not break the system's.
      {"-o /dev/stdout appends where the shell says", kData + "; echo first > log; ln -s /proc/self/fd/1 stdout",
       "$Z -o stdout --format csv d.txt >> log; s=$?; head -n 2 log; exit $s", 0, "first\n" + kCsvHeader, "",
       "d.txt:-644 log:-644 stdout->/proc/self/fd/1"},
      {"-o -", kData, "$Z -o - --format csv d.txt", 0, "^" + kCsvHeader, "", "d.txt:-644"},
      {"-o ''", kData, "$Z -o '' d.txt", 2, "", "zover: --output: the file name is empty; run zover --help\n",
       "d.txt:-644"},
      // Permissions and links.
      {"-o onto a 0600 file", kData + "; echo old > r.json; chmod 600 r.json", "$Z -o r.json d.txt", 0, "", "",
       "d.txt:-644 r.json:-600"},
      {"-o onto a 0444 file the user cannot write", kData + "; echo old > r.json; chmod 444 r.json",
       "$Z -o r.json d.txt; s=$?; cat r.json; exit $s", 1, "old\n",
       "zover: cannot write the output: r.json: Permission denied\n", "d.txt:-644 r.json:-444", Need::kNotRoot},
      {"-o onto another user's file", kData + "; echo old > r.json; chown 65534:65534 r.json; chmod 640 r.json",
       "$Z -o r.json d.txt; s=$?; stat -c %u:%g r.json; exit $s", 0, "65534:65534\n", "", "d.txt:-644 r.json:-640",
       Need::kRoot},
      {"-o through a symbolic link", kData + "; mkdir t; echo old > t/r.csv; ln -s t/r.csv l",
       "$Z -o l --format csv d.txt; s=$?; head -n 1 t/r.csv; exit $s", 0, kCsvHeader, "",
       "d.txt:-644 l->t/r.csv t:d755"},
      {"-o whose temporary name would pass NAME_MAX", kData, "$Z -o " + longName + " d.txt", 0, "", "",
       longName + ":-644 d.txt:-644"},
      // The file size limit.
      {"ulimit -f 1, -o", kData, "ulimit -f 1; $Z -o r.json --format json d.txt", 1, "", kTooLarge, "d.txt:-644"},
      {"ulimit -f 1, > out.json", kData, "ulimit -f 1; $Z --format json d.txt > out.json", 1, "", kTooLarge,
       "d.txt:-644 out.json:-644"},
      {"ulimit -f 1, the dialogue into a file", kData + "; cp d.txt Zover_data.txt",
       "ulimit -f 1; echo 1 | $Z > out.txt", 1, "", kTooLarge, "Zover_data.txt:-644 d.txt:-644 out.txt:-644"},
      // Signals while the output file is written.
      {"SIGINT while -o is written", Generated(200, 200, "g.txt"), "exec $Z --format json -o r.json g.txt", 128 + SIGINT,
       "", "", "g.txt:-644", Need::kAnyone, SIGINT},
      {"SIGTERM while -o is written", Generated(200, 200, "g.txt"), "exec $Z --format json -o r.json g.txt",
       128 + SIGTERM, "", "", "g.txt:-644", Need::kAnyone, SIGTERM},
      {"SIGHUP while -o is written", Generated(200, 200, "g.txt"), "exec $Z --format json -o r.json g.txt",
       128 + SIGHUP, "", "", "g.txt:-644", Need::kAnyone, SIGHUP},
      // Names from the data.
      {"--header and a file name that are not UTF-8",
       "printf 'A\\377B,C\\n1,2\\n2,2\\n1,1\\n' > \"$(printf 'd\\351.txt')\"",
       "$Z --header --format json -o r.json d*.txt; s=$?; grep -F -e '\"file\"' -e \"$(printf 'A\\357\\277\\275B')\" r.json; exit $s", 0,
       "    \"file\": \"d\xEF\xBF\xBD.txt\",\n      \"A\xEF\xBF\xBD" "B\",\n"
       // the first rater's name in its pair and in its summary
       "      \"name\": \"A\xEF\xBF\xBD" "B\",\n      \"name\": \"A\xEF\xBF\xBD" "B\",\n",
       "", "d\351.txt:-644 r.json:-644"},
      {"--header names that would be formulas in CSV", "printf '=1+1,+A,-2,@B\\n1,2,1,2\\n2,2,1,1\\n1,1,2,2\\n' > d.txt",
       "$Z --header --format csv -o r.csv d.txt; s=$?; grep '^chance_probability,1,' r.csv | cut -d, -f3; exit $s", 0,
       "'=1+1\n'+A\n-2\n'@B\n", "", "d.txt:-644 r.csv:-644"},
      {"2 2 2 on every line, JSON", "printf '2 2 2\\n2 2 2\\n2 2 2\\n' > d.txt",
       "$Z --format json -o r.json d.txt; s=$?; sed -n '/\"hubert\"/,/}/p;/\"h2\"/,/}/p' r.json; exit $s", 0,
       "    \"hubert\": {\n      \"label\": \"Hubert's kappa\",\n      \"estimate\": null,\n      \"se\": null,\n"
       "      \"ci95\": null,\n      \"objects_used\": 3,\n      \"reason\": \"every rating is in one class\"\n    },\n"
       "    \"h2\": {\n      \"estimate\": null,\n      \"objects_used\": 3,\n      \"reason\": \"every rating is in one class\"\n"
       "    }\n",
       "", "d.txt:-644 r.json:-644"},
  };
  const Sweep sweeps[] = {
      {"JSON into -o, K = R = 300", Generated(300, 300, "g.txt"), "$Z --format json -o r.json g.txt", 11000, 35000, 3000},
      {"text on standard output, K = R = 300", Generated(300, 300, "g.txt"), "$Z g.txt", 11000, 35000, 3000},
      {"CSV of model data, K = R = 300", kModel, "$Z -m --format csv m.txt", 11000, 35000, 3000},
  };

  const fs::path base = fs::current_path() / ("zover-batch-" + std::to_string(getpid()));
  // Nobody may not reach the program where it was built (under /root, say):
  // rows run as nobody take a copy in a folder that everyone can read.
  const fs::path shared = fs::temp_directory_path() / ("zover-batch-program-" + std::to_string(getpid()));
  std::string nobodysBinary = binary;
  if (root) {
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    nobodysBinary = (shared / "zover").string();
    fs::copy_file(binary, nobodysBinary, fs::copy_options::overwrite_existing);
  }
  int failures = 0;
  auto report = [&](const std::string& name, const std::string& fault) {
    std::cout << (fault.empty() ? "ok     " : "FAILED ") << name << (fault.empty() ? "" : ": " + fault) << "\n";
    failures += !fault.empty();
  };
  int folders = 0;
  for (const Row& row : rows) {
    if (row.need == Need::kRoot && !root) {
      std::cout << "skip   " << row.name << ": needs root\n";
      continue;
    }
    const fs::path folder = base / std::to_string(++folders);
    const bool asNobody = row.need == Need::kNotRoot && root;
    // A signal that comes after the program has written the whole file
    // misses the temporary file: then try again.
    Outcome got;
    for (int attempt = 0; attempt < 5; ++attempt) {
      got = SetUpAndRun(asNobody ? nobodysBinary : binary, folder, row.setUp, row.command, asNobody, row.signal);
      if (row.signal == 0 || (got.status != 0 && got.files.find("r.json:") == std::string::npos)) break;
    }
    report(row.name, Fault(got, row.status, row.out, row.err, row.files));
  }
  for (const Sweep& sweep : sweeps) {
    if (!memoryLimits) {
      std::cout << "skip   " << sweep.name << ": no memory limits in this build\n";
      continue;
    }
    const fs::path folder = base / std::to_string(++folders);
    const Outcome whole = SetUpAndRun(binary, folder, sweep.setUp, sweep.command, false, 0);
    const Outcome none = SetUpAndRun(binary, folder, sweep.setUp, "true", false, 0);
    std::string fault = whole.status == 0 ? "" : "status " + std::to_string(whole.status) + " without a limit";
    int complete = 0, refused = 0;
    for (int limit = sweep.from; limit <= sweep.to && fault.empty(); limit += sweep.step) {
      const std::string command = "ulimit -v " + std::to_string(limit) + "; " + sweep.command;
      const Outcome got = SetUpAndRun(binary, folder, sweep.setUp, command, false, 0);
      fault = got.status == 0 ? Fault(got, 0, whole.out, "", whole.files) : Fault(got, 1, "", kMemory, none.files);
      if (!fault.empty()) fault = "ulimit -v " + std::to_string(limit) + ": " + fault;
      (got.status == 0 ? complete : refused) += 1;
    }
    if (fault.empty() && (complete == 0 || refused == 0)) fault = "the limits do not reach both outcomes";
    report(sweep.name, fault);
  }
  if (root) fs::remove_all(shared);
  if (failures == 0) fs::remove_all(base);
  return failures == 0 ? 0 : 1;
}
