#pragma once
// Independent tasks on up to `threads` threads, the caller's among them:
// each thread takes the next task that no other has taken, in the list's
// order, until none is left. With one thread, or where no other thread can
// be had, the caller runs them all in order. No task may read or write what
// another writes, so what each computes does not depend on where or when it
// ran. Once all are done, the first failure in the list's order is thrown
// again.

#include <functional>
#include <vector>

namespace zover {

void RunTasks(const std::vector<std::function<void()>>& tasks, unsigned threads);

}  // namespace zover
