#pragma once
// Runs whole dialogues of the program in-process: the answers come from a
// string, the output is captured, data files live in memory and the final
// pause is recorded instead of slept.

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace zover::testing {

struct SessionResult {
  std::string output;
  int status = -1;
  std::vector<int> pauses;  // milliseconds asked for
  int discards = 0;         // calls that would drop terminal type-ahead
};

// The data-entry menu, as the program prints it.
inline const std::string kMenu =
    "\n\n DATA ENTRY: 1 = OBSERVED DATA (without frequencies) - \"Zover_data.txt\" file"
    "\n             2 = OBSERVED DATA (with frequencies) - \"Zover_data_freq.txt\" file"
    "\n             3 = OBSERVED DATA (with frequencies), 4 = DATA FOR ZOVER: ";

inline SessionResult RunSession(const std::string& answers,
                                const std::map<std::string, std::string>& files = {}) {
  std::istringstream in(answers);
  std::ostringstream out;
  SessionResult result;
  Console con{in, out, [&](int ms) { result.pauses.push_back(ms); },
              [&] { ++result.discards; },
              [&](const std::string& name) -> std::unique_ptr<DataSource> {
                auto it = files.find(name);
                if (it == files.end()) return nullptr;
                return std::make_unique<StringSource>(it->second);
              }};
  result.status = RunZover(con);
  result.output = out.str();
  return result;
}

// Number of times `needle` occurs in `text`.
inline int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++n;
  return n;
}

// The output that follows the cover screen.
inline std::string AfterCover(const std::string& output) {
  const std::string end = "\nrequest of the program).\n ";
  const std::size_t at = output.find(end);
  return at == std::string::npos ? output : output.substr(at + end.size());
}

}  // namespace zover::testing
