// The rating patterns of a pass's observed data, for the coefficients that
// count raters per class: one pattern per counted response tuple (its class
// counts, weighted by its frequency), and the patterns of the objects that
// some raters did not rate.

#include <algorithm>
#include <vector>

#include "kappa/coefficients.h"

namespace zover {

std::vector<RatingPattern> RatingPatterns(const Tables& tb) {
  std::vector<RatingPattern> patterns;
  patterns.reserve(tb.frec.size() + tb.incomplete.size());
  ClassTally tally(std::max(tb.K, tb.maxclase));
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    tally.Tally(tb.frec.Values(u, scratch.data()), tb.R, 1);
    RatingPattern pattern{static_cast<double>(tb.frec.count(u)), {}};
    pattern.counts.reserve(tally.used().size());
    for (const int i : tally.used()) pattern.counts.emplace_back(i, tally.raters(i));
    patterns.push_back(std::move(pattern));
  }
  for (const auto& [counts, weight] : tb.incomplete) patterns.push_back({weight, counts});
  return patterns;
}

}  // namespace zover
