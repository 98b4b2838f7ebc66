#include "input/tuple_counter.h"

#ifdef __EMSCRIPTEN__
#include <unistd.h>
#else
#include <sys/random.h>
#endif

#include <algorithm>
#include <chrono>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "input/big_tables.h"

namespace zover {

namespace {

constexpr std::uint32_t kMaxCount = UINT32_MAX - 1;
constexpr std::size_t kFirstCapacity = 64;

// The most bits a narrow slot's key holds.
constexpr int kNarrowBits = 32;

// Bits that hold `top`.
int BitsOf(unsigned top) {
  int bits = 0;
  for (; top != 0; top >>= 1) ++bits;
  return bits;
}

// Sorts from[0 .. size-1] by the low `bits` bits of their keys, `digit`
// bits at a time, least significant first, through `to` (size slots); the
// result ends in `from`. `start` has room for 2^digit + 1 counts.
template <typename Slot>
void RadixSort(Slot* from, Slot* to, std::size_t size, int bits, int digit, std::size_t* start) {
  Slot* const slots = from;
  const std::size_t buckets = std::size_t{1} << digit;
  for (int shift = 0; shift < bits; shift += digit) {
    std::fill(start, start + buckets + 1, 0);
    for (std::size_t i = 0; i < size; ++i) ++start[((from[i].key >> shift) & (buckets - 1)) + 1];
    for (std::size_t b = 1; b <= buckets; ++b) start[b] += start[b - 1];
    for (std::size_t i = 0; i < size; ++i) to[start[(from[i].key >> shift) & (buckets - 1)]++] = from[i];
    std::swap(from, to);
  }
  if (from != slots) std::copy(from, from + size, slots);
}

// Sorts slots[0 .. size-1] by their keys, which have `bits` significant
// bits. Up to 2^20 tuples a radix sort of 11-bit digits, with a second
// buffer of the same size. Beyond that in place, so that sorting never
// raises the memory that counting took: the keys' top 11 bits put every
// slot into its bucket by cycles of swaps (an American flag sort), then
// each bucket, small enough for the caches, is sorted on its own, by a
// radix sort of 8-bit digits through a buffer of the bucket's size (or
// std::sort, for the rare bucket too large for a small buffer). Keys are
// distinct, so any sort gives the one order.
template <typename Slot>
void SortByKey(std::vector<Slot>& slots, std::size_t size, int bits) {
  constexpr int kDigit = 11;
  constexpr std::size_t kBuckets = std::size_t{1} << kDigit;
  if (size > (std::size_t{1} << 20)) {
    const int shift = bits > kDigit ? bits - kDigit : 0;
    auto digit = [shift](const Slot& slot) { return static_cast<std::size_t>(slot.key >> shift) & (kBuckets - 1); };
    std::vector<std::size_t> start(kBuckets + 1, 0);
    for (std::size_t i = 0; i < size; ++i) ++start[digit(slots[i]) + 1];
    for (std::size_t b = 1; b <= kBuckets; ++b) start[b] += start[b - 1];
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t b = 0; b < kBuckets; ++b) {
      while (next[b] < start[b + 1]) {
        Slot slot = slots[next[b]];
        for (std::size_t d = digit(slot); d != b; d = digit(slot)) std::swap(slot, slots[next[d]++]);
        slots[next[b]++] = slot;
      }
    }
    constexpr int kSmallDigit = 8;
    constexpr std::size_t kLargestBuffered = std::size_t{1} << 16;
    std::vector<Slot> buffer;
    std::vector<std::size_t> counts((std::size_t{1} << kSmallDigit) + 1);
    for (std::size_t b = 0; b < kBuckets; ++b) {
      Slot* const first = slots.data() + start[b];
      const std::size_t count = start[b + 1] - start[b];
      if (count < 2) continue;
      if (count > kLargestBuffered) {
        std::sort(first, first + count, [](const Slot& x, const Slot& y) { return x.key < y.key; });
        continue;
      }
      if (buffer.size() < count) buffer.resize(count);
      RadixSort(first, buffer.data(), count, shift, kSmallDigit, counts.data());
    }
    return;
  }
  std::vector<Slot> other(size);
  std::vector<std::size_t> counts(kBuckets + 1);
  RadixSort(slots.data(), other.data(), size, bits, kDigit, counts.data());
}

// Re-packs the keys of a table's tuples from `from` to `to` bits per value.
template <typename Slot>
void Repack(std::vector<Slot>& table, std::uint32_t empty, int raters, int from, int to) {
  std::vector<std::uint16_t> values(static_cast<std::size_t>(raters));
  for (Slot& slot : table) {
    if (slot.count == empty) continue;
    std::uint64_t key = slot.key;
    for (int r = raters - 1; r >= 0; --r, key >>= from) values[r] = static_cast<std::uint16_t>(key & ((1u << from) - 1));
    key = 0;
    for (int r = 0; r < raters; ++r) key = key << to | values[r];
    slot.key = static_cast<decltype(slot.key)>(key);
  }
}

// Puts every tuple of `from` (its slots of count `empty` are free) into
// `to`, a table of free slots, at the first free slot from the one its key
// hashes to. A narrow slot put into a 16-byte one gets no tag.
template <typename To, typename From, typename Hash>
void PlaceAll(std::vector<To>& to, const std::vector<From>& from, std::uint32_t empty, Hash hashOf) {
  const std::size_t mask = to.size() - 1;
  for (const From& slot : from) {
    if (slot.count == empty) continue;
    std::size_t at = hashOf(slot.key) & mask;
    while (to[at].count != empty) at = (at + 1) & mask;
    if constexpr (std::is_same_v<To, From>) {
      to[at] = slot;
    } else {
      to[at] = To{slot.key, slot.count};
    }
  }
}

}  // namespace

TupleCounter::TupleCounter(int raters, std::uint64_t seed) : raters_(raters), seed_(seed) { Start(); }

void TupleCounter::Start() {
  width_ = raters_ <= 64 ? 1 : 0;
  narrow_ = width_ > 0 && raters_ <= kNarrowBits;
  if (narrow_) {
    narrowSlots_.assign(kFirstCapacity, NarrowSlot{0, kEmpty});
    slots_ = {};
  } else {
    slots_.assign(kFirstCapacity, TupleSlot{0, kEmpty, 0});
    narrowSlots_ = {};
  }
  vectors_.clear();
  used_ = 0;
}

std::uint64_t TupleCounter::RandomSeed() {
  std::uint64_t seed = 0;
#ifdef __EMSCRIPTEN__
  // In a browser: its random numbers (crypto.getRandomValues).
  if (getentropy(&seed, sizeof seed) == 0) return seed;
#else
  if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed)) return seed;
#endif
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return Mix(now ^ reinterpret_cast<std::uintptr_t>(&seed));
}

// Four values at a time, each step a keyed bijection of the state, so that
// two vectors meet in a slot only by chance.
std::uint32_t TupleCounter::VectorHash(const std::uint16_t* values) const {
  std::uint64_t h = seed_;
  int r = 0;
  for (; r + 4 <= raters_; r += 4) {
    h = Mix(h ^ (values[r] | std::uint64_t{values[r + 1]} << 16 | std::uint64_t{values[r + 2]} << 32 |
                 std::uint64_t{values[r + 3]} << 48));
  }
  std::uint64_t rest = 0;
  for (; r < raters_; ++r) rest = rest << 16 | values[r];
  return static_cast<std::uint32_t>(Mix(h ^ rest) >> 32);
}

std::uint64_t TupleCounter::Pack(const std::uint16_t* values, unsigned* top) const {
  std::uint64_t key = 0;
  unsigned all = 0;
  for (int r = 0; r < raters_; ++r) {
    key = key << width_ | values[r];
    all |= values[r];
  }
  if (top != nullptr) *top = all;
  return key;
}

std::uint64_t TupleCounter::HashOf(std::uint64_t key) const { return width_ > 0 ? PackedHash(key) : key >> 32; }

const std::uint16_t* TupleCounter::VectorOf(std::uint64_t key) const {
  return vectors_.data() + (key & UINT32_MAX) * static_cast<std::size_t>(raters_);
}

std::optional<std::uint32_t> TupleCounter::Add(const std::uint16_t* values, std::uint32_t weight, std::uint32_t tag) {
  if (putOffCount_ > 0) Flush();  // so that a tuple put off counts as seen
  if (width_ > 0) {
    unsigned top = 0;
    std::uint64_t key = Pack(values, &top);
    if (top >> width_ == 0) return AddPacked(key, PackedHash(key), weight, tag);
    Widen(top);
    if (width_ > 0) {
      key = Pack(values);
      return AddPacked(key, PackedHash(key), weight, tag);
    }
  }
  return AddVector(values, weight, tag);
}

void TupleCounter::Flush() {
  for (std::size_t i = 0; i < putOffCount_; ++i) CountPutOff(putOff_[i]);
  putOffCount_ = 0;
  putOffNext_ = 0;
}

namespace {

[[noreturn]] void TooManyObjects() {
  throw std::overflow_error("a response tuple counts more than 4294967294 objects");
}

}  // namespace

void TupleCounter::Count(std::uint32_t& count, std::uint32_t weight) {
  if (weight > kMaxCount - count) TooManyObjects();
  count += weight;
}

std::optional<std::uint32_t> TupleCounter::AddPacked(std::uint64_t key, std::uint64_t hash, std::uint32_t weight,
                                                     std::uint32_t tag) {
  Reserve();
  if (narrow_ && tag != 0) LeaveNarrow();
  const std::uint64_t earlier =
      narrow_ ? Insert(narrowSlots_, key, hash, weight, tag) : Insert(slots_, key, hash, weight, tag);
  if (earlier == kNew) return std::nullopt;
  return static_cast<std::uint32_t>(earlier);
}

void TupleCounter::CountPutOff(std::uint64_t key) {
  Reserve();
  const std::uint64_t hash = PackedHash(key);
  if (narrow_) {
    Insert(narrowSlots_, key, hash, 1, 0);
  } else {
    Insert(slots_, key, hash, 1, 0);
  }
}

template <typename Slot>
std::uint64_t TupleCounter::Insert(std::vector<Slot>& table, std::uint64_t key, std::uint64_t hash,
                                   std::uint32_t weight, std::uint32_t tag) {
  const std::size_t mask = table.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    Slot& slot = table[at];
    if (slot.count == kEmpty) {
      slot.key = static_cast<decltype(slot.key)>(key);
      slot.count = 0;
      if constexpr (std::is_same_v<Slot, TupleSlot>) slot.tag = tag;
      Count(slot.count, weight);
      ++used_;
      return kNew;
    }
    if (slot.key == key) {
      Count(slot.count, weight);
      if constexpr (std::is_same_v<Slot, TupleSlot>) return slot.tag;
      return 0;  // no tuple of a narrow table has a tag
    }
  }
}

std::optional<std::uint32_t> TupleCounter::AddVector(const std::uint16_t* values, std::uint32_t weight,
                                                     std::uint32_t tag) {
  Reserve();
  const std::uint32_t hash = VectorHash(values);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    TupleSlot& slot = slots_[at];
    if (slot.count == kEmpty) {
      const std::size_t index = vectors_.size() / static_cast<std::size_t>(raters_);
      if (index > UINT32_MAX) throw std::bad_alloc();
      vectors_.insert(vectors_.end(), values, values + raters_);
      slot = {std::uint64_t{hash} << 32 | index, 0, tag};
      Count(slot.count, weight);
      ++used_;
      return std::nullopt;
    }
    if (slot.key >> 32 == hash && std::equal(values, values + raters_, VectorOf(slot.key))) {
      Count(slot.count, weight);
      return slot.tag;
    }
  }
}

void TupleCounter::Reserve() {
  const std::size_t capacity = narrow_ ? narrowSlots_.size() : slots_.size();
  if ((used_ + 1) * 8 > capacity * 7) Rehash(capacity * 2);
}

void TupleCounter::Rehash(std::size_t capacity) {
  const auto hashOf = [this](std::uint64_t key) { return HashOf(key); };
  if (narrow_) {
    std::vector<NarrowSlot> old = BigTable(capacity, NarrowSlot{0, kEmpty});
    old.swap(narrowSlots_);
    PlaceAll(narrowSlots_, old, kEmpty, hashOf);
  } else {
    std::vector<TupleSlot> old = BigTable(capacity, TupleSlot{0, kEmpty, 0});
    old.swap(slots_);
    PlaceAll(slots_, old, kEmpty, hashOf);
  }
}

void TupleCounter::LeaveNarrow() {
  slots_ = BigTable(narrowSlots_.size(), TupleSlot{0, kEmpty, 0});
  PlaceAll(slots_, narrowSlots_, kEmpty, [this](std::uint64_t key) { return HashOf(key); });
  narrowSlots_ = {};
  narrow_ = false;
}

int TupleCounter::WidthAfter(int width, unsigned top, int raters) {
  if (width == 0 || top >> width == 0) return width;
  const int bits = BitsOf(top);
  return bits * raters <= 64 ? bits : 0;
}

void TupleCounter::Widen(unsigned top) {
  const int width = BitsOf(top);
  if (narrow_ && width * raters_ > kNarrowBits) LeaveNarrow();
  if (narrow_) {
    Repack(narrowSlots_, kEmpty, raters_, width_, width);
    width_ = width;
    Rehash(narrowSlots_.size());
    return;
  }
  std::vector<std::uint16_t> values(static_cast<std::size_t>(raters_));
  auto unpack = [&](std::uint64_t key) {
    for (int r = raters_ - 1; r >= 0; --r, key >>= width_) values[r] = static_cast<std::uint16_t>(key & ((1u << width_) - 1));
  };
  if (width * raters_ <= 64) {
    Repack(slots_, kEmpty, raters_, width_, width);
    width_ = width;
  } else {
    for (TupleSlot& slot : slots_) {
      if (slot.count == kEmpty) continue;
      unpack(slot.key);
      const std::uint64_t index = vectors_.size() / static_cast<std::size_t>(raters_);
      vectors_.insert(vectors_.end(), values.begin(), values.end());
      slot.key = std::uint64_t{VectorHash(values.data())} << 32 | index;
    }
    width_ = 0;
  }
  Rehash(slots_.size());
}

TupleCounts TupleCounter::Finish() {
  Flush();
  std::size_t size = 0;
  if (narrow_) {
    // The tuples stay in the narrow slots, sorted where they were counted.
    for (const NarrowSlot& slot : narrowSlots_) {
      if (slot.count != kEmpty && slot.count > 0) narrowSlots_[size++] = slot;
    }
    SortByKey(narrowSlots_, size, width_ * raters_);
    TupleCounts counts(raters_, width_, std::move(narrowSlots_), size);
    Start();
    return counts;
  }
  for (const TupleSlot& slot : slots_) {
    if (slot.count != kEmpty && slot.count > 0) slots_[size++] = slot;
  }
  const auto end = slots_.begin() + static_cast<std::ptrdiff_t>(size);
  TupleCounts counts;
  if (width_ > 0) {
    SortByKey(slots_, size, width_ * raters_);
    counts = TupleCounts(raters_, width_, std::move(slots_), size);
  } else {
    for (auto slot = slots_.begin(); slot != end; ++slot) slot->key &= UINT32_MAX;
    const int R = raters_;
    const std::uint16_t* vectors = vectors_.data();
    std::sort(slots_.begin(), end, [R, vectors](const TupleSlot& a, const TupleSlot& b) {
      const std::uint16_t* x = vectors + a.key * static_cast<std::size_t>(R);
      const std::uint16_t* y = vectors + b.key * static_cast<std::size_t>(R);
      return std::lexicographical_compare(x, x + R, y, y + R);
    });
    counts = TupleCounts(raters_, std::move(vectors_), std::move(slots_), size);
  }
  Start();
  return counts;
}

}  // namespace zover
