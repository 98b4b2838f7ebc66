#pragma once
// The console seam. Every prompt of the program reads and writes through a
// Console, so that whole dialogues run in-process in tests; only main() binds
// it to the real standard input and output.
//
// Answers are whole lines. A number is taken from the start of the line as
// strtod takes it after leading white space; the rest of the line is ignored.
// A line of any length is one answer, read in bounded memory: the blanks
// before the number are skipped and at most kKeptAnswerBytes of the rest are
// kept, the remainder of the line being read and dropped.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "console/data_source.h"

namespace zover {

constexpr std::size_t kKeptAnswerBytes = 4096;

struct Console {
  std::istream& in;
  std::ostream& out;
  // Suspends the program for the given number of milliseconds.
  std::function<void(int)> pause;
  // Drops console input that is already waiting (type-ahead). Only a terminal
  // does this; piped input is never discarded, each line being one answer.
  std::function<void()> discardPending;
  // Opens a data file by its bare name for reading; null when it cannot be
  // opened. The binary opens it in the working folder.
  std::function<std::unique_ptr<DataSource>(const std::string&)> openFile;
  // True when a person types the answers (standard input is a terminal): the
  // output is then flushed before every read, so that the prompt shows.
  // Piped answers need no flush per answer.
  bool interactive = false;
};

// Raised by a data-entry prompt when standard input ends before the entry is
// complete; the main loop turns it into its message and exit status 1.
struct InputEnded {};

// Raised before a read when the output can no longer be written (a full
// disk, a closed descriptor, a pipe whose reader has gone): the program
// stops at once with status 1.
struct OutputFailed {};

// Reads one answer line (see above); false at end of input. Checks the
// output first (OutputFailed) and flushes it when a person is typing.
bool ReadLine(Console& con, std::string& line);

// The number at the start of the line, or nothing when there is none. A value
// that is not finite ("nan", "inf", "1e999") counts as no number read.
std::optional<double> LeadingNumber(const std::string& line);

// One answer to a data-entry prompt: reads a line (InputEnded at end of
// input), takes its leading number, then discards waiting input.
std::optional<double> ReadNumberAnswer(Console& con);

// Whether a number is whole: it equals its floor.
bool IsWhole(double x);

}  // namespace zover
