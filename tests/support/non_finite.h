#pragma once
// The program writes a value that is not finite as "NaN", "Inf" or "-Inf";
// the C library's "nan", "-nan" and "inf" must never reach the output.

#include <string_view>

namespace zover::testing {

// Whether `text` is free of the C library's spellings (words such as
// "infinite", "infinity" and "Brennan" are fine). When `complete` is false more text may
// follow, so a match at the very end is not judged.
inline bool NoLowercaseNonFinite(std::string_view text, bool complete = true) {
  for (const std::string_view word : {std::string_view("nan"), std::string_view("inf")}) {
    for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
      const std::size_t next = at + word.size();
      if (next == text.size() && !complete) continue;
      auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
      const bool inWord = (next < text.size() && letter(text[next])) || (at > 0 && letter(text[at - 1]));
      if (!inWord) return false;
    }
  }
  return true;
}

}  // namespace zover::testing
