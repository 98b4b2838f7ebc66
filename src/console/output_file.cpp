// The batch command's output file (-o PATH).
//
// A regular file, or a new one, is written as a temporary file in the same
// folder, which then takes the file's name in one step (rename), so that a
// reader sees the old result or the new one, never half of one, and a
// failure leaves the old file as it was. The new file keeps the old one's
// permission bits, and its owner and group where the system allows. A
// symbolic link is followed to the file it names, which is replaced in its
// own folder: the link stays a link.
//
// Anything else that exists under the name (a FIFO, a terminal, a device) is
// opened and written into directly: replacing it by a regular file would
// break it. A name of one of the program's own descriptors (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N) is written into that descriptor, so that
// `-o /dev/stdout >> log` appends as the shell asked.
//
// While the temporary file exists, SIGINT, SIGTERM and SIGHUP remove it
// before the program ends by the signal, as it would have without it.

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <string>

#include "console/system_io.h"

namespace zover {

namespace {

// --- The temporary file against signals ----------------------------------------

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file's name for the signal handler; a handler may only use
// what is already in memory.
char temporaryName[PATH_MAX + 1];
volatile std::sig_atomic_t hasTemporary = 0;

extern "C" void RemoveTemporaryThenEnd(int signal) {
  if (hasTemporary != 0) unlink(temporaryName);
  // The signal's own action: it is blocked while this handler runs, and
  // ends the program as soon as the handler returns.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

sigset_t CleanUpSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kCleanUpSignals) sigaddset(&set, s);
  return set;
}

// Holds the three signals back while the temporary file is created or
// renamed, and removes the file if one of them ends the program in between.
class TemporaryWatch {
 public:
  TemporaryWatch() {
    const sigset_t set = CleanUpSignals();
    sigprocmask(SIG_BLOCK, &set, &unblocked_);
  }

  // The file exists: a signal, once let through, removes it first. A signal
  // that was ignored (nohup) stays ignored.
  void Watch(const std::string& name) {
    std::memcpy(temporaryName, name.c_str(), name.size() + 1);
    hasTemporary = 1;
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryThenEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kCleanUpSignals); ++i) {
      sigaction(kCleanUpSignals[i], nullptr, &before_[i]);
      if (before_[i].sa_handler != SIG_IGN) sigaction(kCleanUpSignals[i], &action, nullptr);
    }
    watching_ = true;
    sigprocmask(SIG_SETMASK, &unblocked_, nullptr);
  }

  // Before the temporary file is renamed or removed.
  void Hold() {
    const sigset_t set = CleanUpSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
  }

  // The temporary file is gone: the signals act as before, and one that came
  // meanwhile does so now.
  ~TemporaryWatch() {
    hasTemporary = 0;
    if (watching_) {
      for (std::size_t i = 0; i < std::size(kCleanUpSignals); ++i) sigaction(kCleanUpSignals[i], &before_[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &unblocked_, nullptr);
  }

  TemporaryWatch(const TemporaryWatch&) = delete;
  TemporaryWatch& operator=(const TemporaryWatch&) = delete;

 private:
  sigset_t unblocked_;
  struct sigaction before_[std::size(kCleanUpSignals)] = {};
  bool watching_ = false;
};

// --- Writing -----------------------------------------------------------------

// Writes all of `content` to `fd`; false with errno set when a write fails.
bool WriteAll(int fd, const std::string& content) {
  for (std::size_t at = 0; at < content.size();) {
    const ssize_t n = write(fd, content.data() + at, content.size() - at);
    if (n > 0) {
      at += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

// The folder part of `path` with its final '/', or "" for a name in the
// working folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where the output goes: a descriptor of the program, or a file by name
// with symbolic links followed.
struct Target {
  int fd = -1;
  std::string path;
};

// The descriptor that `folder` + `name` stands for, when the folder is the
// program's own descriptor folder in /proc; -1 otherwise.
int OwnDescriptor(const std::string& folder, const std::string& name) {
  if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos) return -1;
  char real[PATH_MAX];
  if (realpath(folder.empty() ? "." : folder.c_str(), real) == nullptr) return -1;
  if (std::string(real) != "/proc/" + std::to_string(getpid()) + "/fd") return -1;
  return std::stoi(name);
}

// Follows `path` through symbolic links (at most 40, as the system does).
bool Resolve(const std::string& path, Target* target, int* error) {
  std::string current = path;
  for (int hop = 0; hop <= 40; ++hop) {
    const std::string folder = FolderOf(current);
    target->fd = OwnDescriptor(folder, current.substr(folder.size()));
    if (target->fd >= 0) return true;
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      target->path = current;
      return true;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t length = readlink(current.c_str(), &link[0], link.size());
    if (length < 0) {
      *error = errno;
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    current = link[0] == '/' ? link : folder + link;
  }
  *error = ELOOP;
  return false;
}

// A temporary name beside `path` that fits the folder's longest file name:
// the file's name, shortened where needed, then ".XXXXXX" for mkstemp.
std::string TemporaryTemplate(const std::string& path) {
  const std::string folder = FolderOf(path);
  std::string name = path.substr(folder.size());
  const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const std::size_t longest = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
  const std::string suffix = ".XXXXXX";
  if (name.size() + suffix.size() > longest) name.resize(longest > suffix.size() ? longest - suffix.size() : 0);
  return folder + name + suffix;
}

// The outcome of a write: an error number, and whether the name was at
// fault (the message then names it) or the writing of the bytes.
struct Failure {
  int error = 0;
  bool naming = false;
};

// Opens an existing file that is not a regular file and writes into it.
// A FIFO waits for its reader, as with the shell's redirection.
Failure WriteInto(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {errno, true};
  const bool written = WriteAll(fd, content);
  const int error = written ? 0 : errno;
  if (close(fd) != 0 && written && errno != EINTR) return {errno, false};
  return {error, false};
}

// Gives the temporary file the old file's permission bits, and its owner
// and group where the system allows (a user may pick a group of their own);
// set-user-ID and set-group-ID only with the owner and group kept.
void KeepPermissions(int fd, const struct stat& old) {
  mode_t mode = old.st_mode & 07777;
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // The file becomes the user's own, with the user's group.
    }
  }
  fchmod(fd, mode);
}

// Writes a new regular file at `path` through a temporary file; `old`, when
// given, is the file it replaces.
Failure Replace(const std::string& path, const std::string& content, const struct stat* old) {
  std::string temporary = TemporaryTemplate(path);
  if (temporary.size() > PATH_MAX) return {ENAMETOOLONG, true};
  TemporaryWatch watch;
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) return {errno, true};
  watch.Watch(temporary);
  if (old != nullptr) {
    KeepPermissions(fd, *old);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  Failure failure;
  if (!WriteAll(fd, content) || fsync(fd) != 0) failure = {errno, false};
  if (close(fd) != 0 && failure.error == 0 && errno != EINTR) failure = {errno, false};
  watch.Hold();
  if (failure.error == 0 && rename(temporary.c_str(), path.c_str()) != 0) failure = {errno, true};
  if (failure.error != 0) unlink(temporary.c_str());
  return failure;
}

}  // namespace

bool WriteOutputFile(const std::string& path, const std::string& content, std::string* why) {
  Failure failure;
  Target target;
  struct stat info {};
  if (!Resolve(path, &target, &failure.error)) {
    failure.naming = true;
  } else if (target.fd >= 0) {
    if (!WriteAll(target.fd, content)) failure = {errno, false};
  } else if (stat(target.path.c_str(), &info) != 0) {
    failure = errno == ENOENT ? Replace(target.path, content, nullptr) : Failure{errno, true};
  } else if (!S_ISREG(info.st_mode)) {
    failure = WriteInto(target.path, content);
  } else if (faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
    failure = {errno, true};  // a file the user may not write is not replaced either
  } else {
    failure = Replace(target.path, content, &info);
  }
  if (failure.error == 0) return true;
  *why = (failure.naming ? path + ": " : std::string()) + ErrorText(failure.error);
  return false;
}

}  // namespace zover
