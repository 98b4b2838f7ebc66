#pragma once
// The largest data the program analyses, whatever the data come from: the
// keyboard's dimension prompts and every data-file reader refuse more.

#include <cstdint>

namespace zover {

constexpr int kMaxClasses = 1000;                   // K
constexpr int kMaxRaters = 1000;                    // R
constexpr std::uint64_t kMaxObjects = 1000000000;   // n
// Groups of one run (--by, several files): each is one more analysis.
constexpr std::uint32_t kMaxGroups = 10000;

}  // namespace zover
