#include "tables/tuple_counts.h"

#include <algorithm>

namespace zover {

TupleCounts::TupleCounts(int raters, int width, std::vector<TupleSlot> slots, std::size_t size)
    : raters_(raters), width_(width), slots_(std::move(slots)), size_(size) {
  mask_ = (std::uint64_t{1} << width) - 1;
  for (int r = 0; r < raters; ++r) ones_ |= std::uint64_t{1} << (r * width);
}

TupleCounts::TupleCounts(int raters, int width, std::vector<NarrowTupleSlot> slots, std::size_t size)
    : TupleCounts(raters, width, std::vector<TupleSlot>(), size) {
  narrow_ = true;
  narrowSlots_ = std::move(slots);
}

TupleCounts::TupleCounts(int raters, std::vector<std::uint16_t> vectors, std::vector<TupleSlot> slots,
                         std::size_t size)
    : raters_(raters), slots_(std::move(slots)), size_(size), vectors_(std::move(vectors)) {}

bool TupleCounts::unanimous(std::size_t u) const {
  if (width_ > 0) {
    const std::uint64_t key = Key(u);
    return key == (key & mask_) * ones_;
  }
  const std::uint16_t* values = Values(u, nullptr);
  return std::all_of(values, values + raters_, [values](std::uint16_t v) { return v == values[0]; });
}

void TupleCounts::OrderByTag() {
  if (narrow_) return;  // no tags
  std::stable_sort(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(size_),
                   [](const TupleSlot& a, const TupleSlot& b) { return a.tag < b.tag; });
}

// Few classes per tuple is the rule: insertion sort, which is also what
// std::sort does for short ranges, without its set-up.
void ClassTally::SortUsed() {
  if (used_.size() > 32) {
    std::sort(used_.begin(), used_.end());
    return;
  }
  for (std::size_t a = 1; a < used_.size(); ++a) {
    const int x = used_[a];
    std::size_t b = a;
    for (; b > 0 && used_[b - 1] > x; --b) used_[b] = used_[b - 1];
    used_[b] = x;
  }
}

}  // namespace zover
