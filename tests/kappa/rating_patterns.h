#pragma once
// Rating patterns from small tables written as text, for the tests of the
// coefficients.

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kappa/coefficients.h"

namespace zover::testing {

// Krippendorff (2011): 12 units by 4 observers, "." a missing rating.
constexpr const char* kKrippendorff =
    "1 1 . 1\n2 2 3 2\n3 3 3 3\n3 3 3 3\n2 2 2 2\n1 2 3 4\n"
    "4 4 4 4\n1 1 2 1\n2 2 2 2\n. 5 5 5\n. . 1 1\n. . 3 .\n";

// The patterns of a raw table (one object per line, classes 1..K, "." a
// missing rating), equal lines merged into one weighted pattern, each line
// counted `copies` times.
inline std::vector<RatingPattern> Patterns(const std::string& text, double copies = 1) {
  std::map<std::vector<std::pair<int, int>>, double> weights;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::map<int, int> counts;
    std::istringstream fields(line);
    for (std::string field; fields >> field;) {
      if (field != ".") ++counts[std::stoi(field) - 1];
    }
    weights[{counts.begin(), counts.end()}] += copies;
  }
  std::vector<RatingPattern> patterns;
  for (const auto& [counts, weight] : weights) patterns.push_back({weight, counts});
  return patterns;
}

}  // namespace zover::testing
