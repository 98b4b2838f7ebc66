#pragma once
// Runs the whole program in a fuzz target: answers from a string, data files
// in memory, output checked as it is written and then dropped.

#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "fuzz_checks.h"

namespace zover::fuzz {

// Checks the output for "nan" and "inf" as it comes, keeping only its last
// bytes, where a word may still go on.
class CheckedOutput : public std::streambuf {
 public:
  bool Clean() const { return clean_ && NoLowercaseNonFinite(tail_); }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = traits_type::to_char_type(c);
      Add(std::string_view(&ch, 1));
    }
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    Add(std::string_view(s, static_cast<std::size_t>(n)));
    return n;
  }

 private:
  void Add(std::string_view text) {
    tail_.append(text);
    if (tail_.size() < 4096) return;
    clean_ = clean_ && NoLowercaseNonFinite(tail_, false);
    tail_.erase(0, tail_.size() - 8);
  }

  std::string tail_;
  bool clean_ = true;
};

// Runs RunZover to the end of `answers`; checks that it ends with status 0
// or 1 and spells out values that are not finite. Returns the status.
inline int RunWholeProgram(const std::string& answers, const std::map<std::string, std::string>& files) {
  std::istringstream in(answers);
  CheckedOutput sink;
  std::ostream out(&sink);
  Console con{in, out, [](int) {}, [] {},
              [&files](const std::string& name) -> std::unique_ptr<zover::DataSource> {
                const auto it = files.find(name);
                if (it == files.end()) return nullptr;
                return std::make_unique<zover::StringSource>(it->second);
              }};
  const int status = RunZover(con);
  Check(status == kExitNormal || status == kExitInputEnded, "status 0 or 1", std::to_string(status));
  Check(sink.Clean(), "values that are not finite print as NaN, Inf or -Inf");
  return status;
}

}  // namespace zover::fuzz
