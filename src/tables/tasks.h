#pragma once
// Independent tasks on up to `threads` threads, the caller's among them:
// each thread takes the next task that no other has taken, in the list's
// order, until none is left. With one thread, or where no other thread can
// be had, the caller runs them all in order. No task may read or write what
// another writes, so what each computes does not depend on where or when it
// ran. Once all are done, the first failure in the list's order is thrown
// again.

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace zover {

void RunTasks(const std::vector<std::function<void()>>& tasks, unsigned threads);

// The distance apart (alignas) of what two threads write at once, so that
// they never write the same cache line: a line, or two where the processor
// fetches lines in pairs.
inline constexpr std::size_t kThreadApart = 128;

// Jobs run one after another on one thread beside the caller's, so that the
// caller can go on with the next piece of work while the job works on the
// last: Start waits for the job before to end, then hands the thread this
// one. Where no thread can be had (the caller allows none, a page built
// without threads, or a system that refuses one), Start runs the job
// itself. Wait waits for the last job and throws again what it threw. A
// job may touch only what the caller leaves alone until Wait; the
// destructor waits too (dropping a failure that no Wait took), so a
// SideThread declared after what its jobs touch is gone before it.
class SideThread {
 public:
  explicit SideThread(bool threaded);
  ~SideThread();
  SideThread(const SideThread&) = delete;
  SideThread& operator=(const SideThread&) = delete;

  void Start(std::function<void()> job);
  void Wait();

 private:
  struct Shared;
  void Run() noexcept;

  bool threaded_;
  std::unique_ptr<Shared> shared_;
};

}  // namespace zover
