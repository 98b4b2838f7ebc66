// What a reader of observed data has read goes into the observed data here,
// and only here.

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "input/reader_parts.h"
#include "tables/tasks.h"
#include "tables/tuple_counts.h"

namespace zover {

namespace {

// The tuples of `counts` with every label's code replaced by its class (0,
// a missing rating, stays 0). The codes of labels are in order of first
// appearance, so the tuples are counted and sorted again.
TupleCounts Recoded(TupleCounts counts, int raters, const std::vector<std::uint16_t>& classOfCode) {
  if (classOfCode.empty()) return counts;
  TupleCounter counter(raters);
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(raters)), classes(scratch.size());
  for (std::size_t u = 0; u < counts.size(); ++u) {
    const std::uint16_t* codes = counts.Values(u, scratch.data());
    for (int r = 0; r < raters; ++r) classes[r] = classOfCode[codes[r]];
    counter.Add(classes.data(), counts.count(u));
  }
  return counter.Finish();
}

using Patterns = decltype(ObservedData::incomplete);

// The patterns of tuples [from, to) over K classes, their counts added into
// `into`. A pattern's count is a sum of whole numbers below 2^53, the same
// in any order, so parts of the tuples can be added apart.
void AddPatterns(const TupleCounts& tuples, int K, int raters, std::size_t from, std::size_t to, Patterns& into) {
  // Millions of tuples share a few thousand patterns, each found through a
  // hash table of the patterns seen, which points at their counts in the
  // (ordered) map.
  using Pattern = std::vector<std::pair<int, int>>;
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(raters));
  if (FitsByteCounts(K, raters)) {
    // Where the counts of a tuple's values fit one word, that word is its
    // pattern, found without building the pattern.
    std::unordered_map<std::uint64_t, double*> seen;
    std::vector<int> counts(8, 0), used;
    for (std::size_t u = from; u < to; ++u) {
      const std::uint64_t word = ByteCounts(tuples.Values(u, scratch.data()), raters, 0) >> 8;  // byte 0: missing
      double*& sum = seen[word];
      if (sum == nullptr) {
        used.clear();
        ListByteCounts(word, counts, used);
        Pattern pattern;
        for (const int k : used) pattern.emplace_back(k, counts[k]);
        sum = &into.emplace(std::move(pattern), 0.0).first->second;
      }
      *sum += tuples.count(u);
    }
    return;
  }
  // Else each tuple's pattern is built in the same scratch vectors.
  struct PatternHash {
    std::size_t operator()(const Pattern& pattern) const {
      std::size_t h = pattern.size();
      for (const auto& [k, count] : pattern) h = h * 1000003u ^ (static_cast<std::size_t>(k) << 16 | count);
      return h;
    }
  };
  std::unordered_map<Pattern, double*, PatternHash> seen;
  std::vector<int> counts;  // [class]: its ratings in the tuple, 0 outside `pattern`
  Pattern pattern;
  for (std::size_t u = from; u < to; ++u) {
    const std::uint16_t* values = tuples.Values(u, scratch.data());
    pattern.clear();
    for (int r = 0; r < raters; ++r) {
      if (values[r] == 0) continue;
      const int k = values[r] - 1;
      if (static_cast<std::size_t>(k) >= counts.size()) counts.resize(static_cast<std::size_t>(k) + 1, 0);
      if (counts[k]++ == 0) pattern.emplace_back(k, 0);
    }
    std::sort(pattern.begin(), pattern.end());
    for (auto& [k, count] : pattern) {
      count = counts[k];
      counts[k] = 0;
    }
    double*& sum = seen[pattern];
    if (sum == nullptr) sum = &into.emplace(pattern, 0.0).first->second;
    *sum += tuples.count(u);
  }
}

}  // namespace

void KeepIncomplete(ObservedData& tb, const TupleCounts& tuples, int raters, bool threaded) {
  const std::size_t size = tuples.size();
  if (!threaded || size < kSideThreadWork) {
    AddPatterns(tuples, tb.K, raters, 0, size, tb.incomplete);
    return;
  }
  Patterns second;
  SideThread side(true);
  side.Start([&] { AddPatterns(tuples, tb.K, raters, size / 2, size, second); });
  AddPatterns(tuples, tb.K, raters, 0, size / 2, tb.incomplete);
  side.Wait();
  for (const auto& [pattern, count] : second) tb.incomplete[pattern] += count;
}

void StoreObservedData(ObservedData& tb, FileRatings&& data, EntryMode mode, bool threaded) {
  tb.entrada = mode;
  const int raters = data.raters;
  tb.maxclase = data.classes.K;
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = raters;
  tb.Norg = static_cast<double>(data.completeObjects);
  tb.contextra = static_cast<int>(data.rows);
  tb.missingRatings = data.missingRatings;
  tb.raterNames = std::move(data.raterNames);
  tb.rowNames = std::move(data.rowNames);
  tb.warnings = std::move(data.warnings);
  tb.classLabels = std::move(data.classes.labels);
  tb.classValues = std::move(data.classes.values);
  // The complete tuples sorted beside the incomplete ones, where both are
  // many.
  const bool both = threaded && data.incomplete && data.complete->distinct() >= kSideThreadWork &&
                    data.incomplete->distinct() >= kSideThreadWork;
  SideThread side(both);
  side.Start([&] { tb.frec = Recoded(data.complete->Finish(), raters, data.classOfCode); });
  if (data.incomplete) tb.incompleteTuples = Recoded(data.incomplete->Finish(), raters, data.classOfCode);
  side.Wait();
  if (data.incomplete) KeepIncomplete(tb, tb.incompleteTuples, raters, threaded);
  tb.objects = std::move(data.objects);
  if (!data.classOfCode.empty()) {
    for (std::uint16_t& value : tb.objects.ratings) value = data.classOfCode[value];
  }
}

}  // namespace zover
