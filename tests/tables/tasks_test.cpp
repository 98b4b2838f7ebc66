#include "tables/tasks.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zover
