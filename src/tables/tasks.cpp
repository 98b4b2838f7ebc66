#include "tables/tasks.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace zover {

void RunTasks(const std::vector<std::function<void()>>& tasks, unsigned threads) {
  std::vector<std::exception_ptr> failures(tasks.size());
  std::atomic<std::size_t> next{0};
  auto work = [&tasks, &failures, &next]() noexcept {
    for (std::size_t t = next++; t < tasks.size(); t = next++) {
      try {
        tasks[t]();
      } catch (...) {
        failures[t] = std::current_exception();
      }
    }
  };
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  threads = 1;  // a page built without threads
#endif
  const std::size_t wanted = std::min<std::size_t>(threads, tasks.size());
  std::vector<std::thread> others;
  others.reserve(wanted);
  for (std::size_t i = 1; i < wanted; ++i) {
    try {
      others.emplace_back(work);
    } catch (...) {
      break;  // no more threads to be had: those there are take the rest
    }
  }
  work();
  for (std::thread& other : others) other.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace zover
