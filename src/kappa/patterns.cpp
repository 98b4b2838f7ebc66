// The rating patterns of a pass's observed data, for the coefficients that
// count raters per class: one pattern per occurring response tuple (its
// class counts, weighted by its frequency), and the patterns of the objects
// that some raters did not rate.

#include <algorithm>
#include <vector>

#include "kappa/coefficients.h"

namespace zover {

namespace {

// The class counts of one complete row of classes, numbered from `first`.
template <typename Class>
std::vector<std::pair<int, int>> CountsOf(const Class* classes, int R, int first, std::vector<int>& scratch) {
  std::vector<std::pair<int, int>> counts;
  for (int r = 0; r < R; ++r) {
    const int k = static_cast<int>(classes[r]) - first;
    if (scratch[k]++ == 0) counts.emplace_back(k, 0);
  }
  for (auto& [k, count] : counts) {
    count = scratch[k];
    scratch[k] = 0;
  }
  std::sort(counts.begin(), counts.end());
  return counts;
}

}  // namespace

std::vector<RatingPattern> RatingPatterns(const Tables& tb, bool tuplesBuilt) {
  std::vector<RatingPattern> patterns;
  std::vector<int> scratch(static_cast<std::size_t>(std::max(tb.K, tb.maxclase)), 0);
  if (tuplesBuilt) {
    for (std::size_t u = 0; u < tb.frec.size(); ++u) {
      patterns.push_back({static_cast<double>(tb.frec[u].count), CountsOf(tb.indice[u], tb.R, 0, scratch)});
    }
  } else {
    for (std::size_t row = 0; row < tb.data.rows(); ++row) {
      patterns.push_back({1.0, CountsOf(tb.data[row], tb.R, 1, scratch)});
    }
  }
  for (const auto& [counts, weight] : tb.incomplete) patterns.push_back({weight, counts});
  return patterns;
}

}  // namespace zover
