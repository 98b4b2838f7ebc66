// The rating patterns of a pass's observed data, for the coefficients that
// count raters per class: one pattern per counted response tuple (its class
// counts, weighted by its frequency), and the patterns of the objects that
// some raters did not rate. They are built as they are visited: a list of
// them would take far more memory than the counted tuples.

#include <algorithm>
#include <vector>

#include "kappa/coefficients.h"

namespace zover {

PatternSource RatingPatterns(const ObservedData& tb) {
  return [&tb](const PatternVisitor& visit) {
    ClassTally tally(std::max(tb.K, tb.maxclase));
    std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
    RatingPattern pattern;
    for (std::size_t u = 0; u < tb.frec.size(); ++u) {
      tally.Tally(tb.frec.Values(u, scratch.data()), tb.R, 1);
      pattern.weight = static_cast<double>(tb.frec.count(u));
      pattern.counts.clear();
      for (const int i : tally.used()) pattern.counts.emplace_back(i, tally.raters(i));
      visit(pattern);
    }
    for (const auto& [counts, weight] : tb.incomplete) {
      pattern.weight = weight;
      pattern.counts = counts;
      visit(pattern);
    }
  };
}

}  // namespace zover
