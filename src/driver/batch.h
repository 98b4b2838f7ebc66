#pragma once
// The batch command: analyse one named file at once, without the dialogue,
// and write the result as text, JSON or CSV.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "console/data_source.h"
#include "driver/arguments.h"

namespace zover {

// What the batch command needs of the system, so that tests can run it
// in-process.
struct BatchSystem {
  std::ostream& out;  // standard output
  std::ostream& err;  // standard error
  // Opens FILE ("-": standard input); null with the reason when it cannot.
  std::function<std::unique_ptr<DataSource>(const std::string& path, std::string* why)> open;
  // Creates or replaces `path` with `content` as a whole; false with the
  // reason when it cannot.
  std::function<bool(const std::string& path, const std::string& content, std::string* why)> writeFile;
};

// Runs the batch command; returns the exit status: 0 analysed and written,
// 1 refused, unreadable or not written (the reason on err, nothing on out).
int RunBatch(const BatchOptions& options, BatchSystem& system);

}  // namespace zover
