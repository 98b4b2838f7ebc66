#pragma once
// The values of the options that shape a reading or an analysis, as a user
// types them: the command line and the page in a browser read them alike,
// so that a value means the same and is refused with the same words in both.

#include <cstdint>
#include <string>
#include <vector>

#include "tables/results.h"

namespace zover {

// The labels of --classes: separated by commas, the blanks around each
// dropped; a label in double quotes may hold commas ("" stands for a quote).
// Each label once ("1" and "1.0" are one), 2 to 1000 of them. Returns what
// is wrong, or "".
std::string ParseClassList(const std::string& text, std::vector<std::string>& labels);

// The levels of --alpha-level: separated by commas, the blanks around each
// dropped, each once; they are kept in the order of AlphaLevel. Returns what
// is wrong, or "".
std::string ParseLevels(const std::string& text, std::vector<AlphaLevel>& levels);

// A seed: decimal digits, at most 2^64 - 1.
bool ParseSeed(const std::string& text, std::uint64_t& seed);

}  // namespace zover
