#include "tables/tasks.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace zover {
namespace {

// Every task runs once, whatever the threads; the first failure in the
// list's order comes back once all have run.
TEST(TasksTest, RunsEveryTaskAndThrowsTheFirstFailure) {
  for (const unsigned threads : {1u, 2u, 3u, 16u}) {
    SCOPED_TRACE(threads);
    std::vector<int> runs(10, 0);
    std::vector<std::function<void()>> tasks;
    for (std::size_t t = 0; t < runs.size(); ++t) {
      tasks.emplace_back([&runs, t] {
        ++runs[t];
        if (t == 3 || t == 7) throw std::runtime_error("task " + std::to_string(t));
      });
    }
    try {
      RunTasks(tasks, threads);
      ADD_FAILURE() << "no failure came back";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "task 3");
    }
    EXPECT_EQ(runs, std::vector<int>(10, 1));
  }
}

// Jobs run in the order they were started, each after the one before has
// ended; a failure comes back from Wait (or, without a thread, from Start).
TEST(TasksTest, SideThreadRunsJobsInOrder) {
  for (const bool threaded : {false, true}) {
    SCOPED_TRACE(threaded);
    std::vector<int> done;
    {
      SideThread side(threaded);
      for (int job = 0; job < 100; ++job) {
        side.Start([&done, job] { done.push_back(job); });
      }
      side.Wait();
      EXPECT_EQ(done.size(), 100u);
      std::string failure;
      try {
        side.Start([] { throw std::runtime_error("job"); });
        side.Wait();
      } catch (const std::runtime_error& e) {
        failure = e.what();
      }
      EXPECT_EQ(failure, "job");
      side.Start([&done] { done.push_back(100); });  // the destructor waits for it
    }
    std::vector<int> order(101);
    std::iota(order.begin(), order.end(), 0);
    EXPECT_EQ(done, order);
  }
}

}  // namespace
}  // namespace zover
