#pragma once
// The response tuples that occur in observed data, each with the number of
// objects that gave it, and the per-tuple tally of raters by class that
// Fleiss' kappa needs.
//
// A tuple holds one value per rater, as the data gave it: the class number
// (1 .. K), or 0 where a reader marks a rating as missing. The tuples are
// listed in the order of their values compared rater by rater, rater 0
// first, which for classes 1 .. K is increasing tuple number (the tuple's
// 0-based classes read as a base-K number, rater 0 the most significant
// digit), unless OrderByTag has put them in the order of their tags.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zover {

// One counted tuple as the counter keeps it. `key` is the tuple's values
// packed into one number (`width` bits per rater, rater 0 in the highest
// bits) or, for tuples kept as class vectors, the index of its vector;
// `count` is the number of objects; `tag` is what the caller gave with the
// tuple's first occurrence (the frequencies file gives its row).
struct TupleSlot {
  std::uint64_t key = 0;
  std::uint32_t count = 0;
  std::uint32_t tag = 0;
};

// A counted tuple whose packed key fits 32 bits and that has no tag: half
// the memory of a TupleSlot, to count in and to read again.
struct NarrowTupleSlot {
  std::uint32_t key;
  std::uint32_t count;
};

class TupleCounts {
 public:
  TupleCounts() = default;
  // Packed tuples: slots[0 .. size-1], sorted by key.
  TupleCounts(int raters, int width, std::vector<TupleSlot> slots, std::size_t size);
  // Packed tuples of 32 bits at most, without tags: the same in narrow slots.
  TupleCounts(int raters, int width, std::vector<NarrowTupleSlot> slots, std::size_t size);
  // Class vectors: slots[0 .. size-1] in tuple order, each key the index of
  // its R values in `vectors`.
  TupleCounts(int raters, std::vector<std::uint16_t> vectors, std::vector<TupleSlot> slots, std::size_t size);

  std::size_t size() const { return size_; }
  int raters() const { return raters_; }
  // Objects that gave tuple u (at least 1).
  std::uint32_t count(std::size_t u) const { return narrow_ ? narrowSlots_[u].count : slots_[u].count; }
  // The R values of tuple u: a pointer into the vectors, or, for a packed
  // tuple, to `scratch` (R cells) holding them.
  const std::uint16_t* Values(std::size_t u, std::uint16_t* scratch) const {
    if (width_ == 0) return vectors_.data() + slots_[u].key * static_cast<std::size_t>(raters_);
    // Each value shifted out on its own, not one after another.
    const std::uint64_t key = Key(u);
    for (int r = 0; r < raters_; ++r) {
      scratch[r] = static_cast<std::uint16_t>(key >> ((raters_ - 1 - r) * width_) & mask_);
    }
    return scratch;
  }
  // Whether every rater has the same value in tuple u.
  bool unanimous(std::size_t u) const;
  // Whether the tuples are packed keys (false: class vectors).
  bool packed() const { return width_ > 0; }

  // Lists the tuples in increasing order of the tags given with them (the
  // keyboard gives each tuple the place where it was typed).
  void OrderByTag();

 private:
  int raters_ = 0;
  int width_ = 0;            // bits per rater in a packed key; 0 for class vectors
  std::uint64_t mask_ = 0;   // the low `width_` bits
  std::uint64_t ones_ = 0;   // 1 in the lowest bit of every rater's field
  // The packed key of tuple u.
  std::uint64_t Key(std::size_t u) const { return narrow_ ? narrowSlots_[u].key : slots_[u].key; }

  std::vector<TupleSlot> slots_;
  bool narrow_ = false;  // the tuples are narrowSlots_ (else slots_)
  std::vector<NarrowTupleSlot> narrowSlots_;
  std::size_t size_ = 0;
  std::vector<std::uint16_t> vectors_;
};

// Counts of values 0 .. 7 among at most 255 raters fit the bytes of one
// 64-bit word, byte v counting value v: added in registers, where counts in
// memory would be stored and loaded again for every rating.
inline bool FitsByteCounts(int largest, int R) { return largest <= 7 && R <= 255; }
template <typename Value>
std::uint64_t ByteCounts(const Value* values, int R, int offset) {
  std::uint64_t counts = 0;
  for (int r = 0; r < R; ++r) counts += std::uint64_t{1} << (8 * (static_cast<int>(values[r]) - offset));
  return counts;
}

// Lists the classes whose byte of `counts` (byte i: the raters of class i)
// is not 0, increasing, in `used`, with their counts in `raters`.
inline void ListByteCounts(std::uint64_t counts, std::vector<int>& raters, std::vector<int>& used) {
  for (int i = 0; counts != 0; ++i, counts >>= 8) {
    const auto count = static_cast<int>(counts & 0xff);
    if (count == 0) continue;
    raters[static_cast<std::size_t>(i)] = count;
    used.push_back(i);
  }
}

// How many raters of one tuple chose each class, with the classes that some
// rater chose listed in increasing order: a tuple costs O(R), however many
// classes there are. Classes are 0 .. K-1; the tuple's values are class + offset.
class ClassTally {
 public:
  explicit ClassTally(int classes) : raters_(static_cast<std::size_t>(classes), 0), few_(classes <= 64) {}

  // Tallies the R values of a tuple (the previous tally is cleared first).
  // With at most 8 classes and 255 raters the counts are the bytes of one
  // word, added in registers; with at most 64 classes a bit per class lists
  // them in order; beyond that the classes chosen are sorted.
  template <typename Value>
  void Tally(const Value* values, int R, int offset) {
    for (const int i : used_) raters_[static_cast<std::size_t>(i)] = 0;
    used_.clear();
    if (FitsByteCounts(static_cast<int>(raters_.size()) - 1, R)) {
      ListByteCounts(ByteCounts(values, R, offset), raters_, used_);
      return;
    }
    if (few_) {
      std::uint64_t chosen = 0;
      for (int r = 0; r < R; ++r) {
        const int i = static_cast<int>(values[r]) - offset;
        ++raters_[static_cast<std::size_t>(i)];
        chosen |= std::uint64_t{1} << i;
      }
      for (; chosen != 0; chosen &= chosen - 1) used_.push_back(__builtin_ctzll(chosen));
      return;
    }
    for (int r = 0; r < R; ++r) {
      const int i = static_cast<int>(values[r]) - offset;
      if (raters_[static_cast<std::size_t>(i)]++ == 0) used_.push_back(i);
    }
    SortUsed();
  }

  // The classes some rater chose, increasing.
  const std::vector<int>& used() const { return used_; }
  // How many raters chose class i (0 for a class not in used()).
  int raters(int i) const { return raters_[static_cast<std::size_t>(i)]; }

 private:
  void SortUsed();

  std::vector<int> raters_;  // [class]: zero outside used_
  std::vector<int> used_;
  bool few_;                 // at most 64 classes
};

}  // namespace zover
