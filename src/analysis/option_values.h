#pragma once
// The values of the options that shape a reading or an analysis, as a user
// types them: the command line and the page in a browser read them alike,
// so that a value means the same and is refused with the same words in
// both. Each function returns what is wrong with the value, or "".

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis.h"

namespace zover {

// A list of names (`noun`: "label", "column"): separated by commas, the
// blanks around each dropped; a name in double quotes may hold commas (""
// stands for a quote).
std::string ParseList(const std::string& text, std::vector<std::string>& names, const std::string& noun);

// The labels of --classes (ParseList): each once ("1" and "1.0" are one,
// "12345678901234567" and "12345678901234568" two), 2 to 1000 of them.
std::string ParseClassList(const std::string& text, std::vector<std::string>& labels);

// The columns of --raters (`longFile` false: at least 2) or --long-columns
// (true: the object's, the rater's and the rating's), each by its header
// name or its number from 1 (ParseList); names only where the file has a
// header.
std::string ParseColumns(const std::string& text, bool longFile, bool header, std::vector<std::string>& columns);

// The separator of --sep: ',' (or comma), ';' (or semicolon), tab or blank.
std::string ParseSeparator(const std::string& text, Separator& separator);

// The levels of --alpha-level: separated by commas, the blanks around each
// dropped, each once; they are kept in the order of AlphaLevel.
std::string ParseLevels(const std::string& text, std::vector<AlphaLevel>& levels);

// A seed: decimal digits, at most 2^64 - 1.
std::string ParseSeed(const std::string& text, std::uint64_t& seed);

// The level of every confidence interval, --level: a number between 0 and 1.
std::string ParseLevel(const std::string& text, double& level);

// What the options imply beyond themselves: --bootstrap, --seed or
// --bootstrap-method without --alpha-level (`bootstrapGiven`) ask for the
// nominal alpha with its interval, and the reading is told whether the
// analysis orders the classes.
void SettleOptions(bool bootstrapGiven, ReadOptions& read, Request& request);

}  // namespace zover
