#include "tables/tasks.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

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

struct SideThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> job;  // handed over, not yet taken
  bool busy = false;          // a job is handed over or running
  bool quit = false;
  std::exception_ptr failure;
  std::thread thread;
};

SideThread::SideThread(bool threaded) : threaded_(threaded) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  threaded_ = false;
#endif
}

SideThread::~SideThread() {
  if (!shared_) return;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->quit = true;
  }
  shared_->changed.notify_all();
  shared_->thread.join();
}

void SideThread::Run() noexcept {
  Shared& s = *shared_;
  std::unique_lock<std::mutex> lock(s.mutex);
  while (true) {
    s.changed.wait(lock, [&s] { return s.quit || s.job; });
    if (!s.job) return;  // quit with nothing left
    std::function<void()> job = std::move(s.job);
    s.job = nullptr;
    lock.unlock();
    std::exception_ptr failure;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    s.failure = failure;
    s.busy = false;
    s.changed.notify_all();
  }
}

void SideThread::Start(std::function<void()> job) {
  Wait();
  if (threaded_ && !shared_) {
    try {
      shared_ = std::make_unique<Shared>();
      shared_->thread = std::thread([this] { Run(); });
    } catch (...) {
      shared_.reset();
      threaded_ = false;  // no thread to be had: the jobs run here
    }
  }
  if (!shared_) {
    job();
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->job = std::move(job);
    shared_->busy = true;
  }
  shared_->changed.notify_all();
}

void SideThread::Wait() {
  if (!shared_) return;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return !shared_->busy; });
  if (std::exception_ptr failure = std::exchange(shared_->failure, nullptr)) std::rethrow_exception(failure);
}

}  // namespace zover
