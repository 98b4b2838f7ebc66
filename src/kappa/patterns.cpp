// The rating patterns of a pass's observed data, for the coefficients that
// count raters per class: one pattern per counted response tuple (its class
// counts, weighted by its frequency), and the patterns of the objects that
// some raters did not rate. A list of one pattern per tuple would take far
// more memory than the counted tuples; instead the first visit numbers the
// tuples' tallies (few: 1001 for 10 raters and 5 classes), keeps each
// tally's pattern once and each tuple's number, and later visits hand out
// the kept patterns with the tuple's frequency.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "kappa/coefficients.h"
#include "kappa/detail.h"

namespace zover {

namespace {

constexpr std::size_t kMaxTallies = std::size_t{1} << 16;
constexpr std::uint32_t kUnnumbered = UINT32_MAX;

struct Numbered {
  bool done = false;
  std::vector<RatingPattern> patterns;  // [tally number]
  // [tuple]: its tally's number, or kUnnumbered; empty where no tally can
  // have one (more than 7 classes)
  std::vector<std::uint32_t> of;
};

}  // namespace

PatternSource RatingPatterns(const ObservedData& tb) {
  auto numbered = std::make_shared<Numbered>();
  return [&tb, numbered](const PatternVisitor& visit) {
    const int classes = std::max(tb.K, tb.maxclase);
    ClassTally tally(classes);
    std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
    RatingPattern pattern;
    auto tallied = [&](const std::uint16_t* values) {
      tally.Tally(values, tb.R, 1);
      pattern.counts.clear();
      for (const int i : tally.used()) pattern.counts.emplace_back(i, tally.raters(i));
      return &pattern;
    };
    Numbered& known = *numbered;
    if (!known.done) {
      detail::TallyIndex index(classes, tb.R, kMaxTallies);
      known.patterns.clear();  // after a visit that did not end
      known.of.clear();
      if (index.numbers()) known.of.assign(tb.frec.size(), kUnnumbered);
      for (std::size_t u = 0; u < tb.frec.size(); ++u) {
        const std::uint16_t* values = tb.frec.Values(u, scratch.data());
        const std::ptrdiff_t number = index.Of(values);
        RatingPattern* visited = nullptr;
        if (number < 0) {
          visited = tallied(values);
        } else {
          if (static_cast<std::size_t>(number) == known.patterns.size()) known.patterns.push_back(*tallied(values));
          known.of[u] = static_cast<std::uint32_t>(number);
          visited = &known.patterns[static_cast<std::size_t>(number)];
        }
        visited->weight = static_cast<double>(tb.frec.count(u));
        visit(*visited);
      }
      known.done = true;
    } else {
      for (std::size_t u = 0; u < tb.frec.size(); ++u) {
        const std::uint32_t number = known.of.empty() ? kUnnumbered : known.of[u];
        RatingPattern* visited =
            number == kUnnumbered ? tallied(tb.frec.Values(u, scratch.data())) : &known.patterns[number];
        visited->weight = static_cast<double>(tb.frec.count(u));
        visit(*visited);
      }
    }
    for (const auto& [counts, weight] : tb.incomplete) {
      pattern.weight = weight;
      pattern.counts = counts;
      visit(pattern);
    }
  };
}

}  // namespace zover
