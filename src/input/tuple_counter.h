#pragma once
// Counts the response tuples of objects as they are read, so that memory
// follows the distinct tuples, not the objects.
//
// A tuple is R values from 0 to 1000: the class numbers of the raters, or 0
// where a reader marks a rating as missing (the counter gives 0 no meaning of
// its own). While R values fit one 64-bit key at `width` bits each, width
// being the bits of the largest value counted so far, a tuple is its packed
// key; a larger value widens the keys (at most ten times, re-packing the
// tuples counted so far). When R * width passes 64 bits, every tuple is kept
// as its class vector instead. Either way the tuples are counted in an open
// addressing hash table and come out sorted rater by rater, rater 0 first.
// While the keys fit 32 bits and no tuple has a tag, the table's slots take
// 8 bytes instead of 16: half the memory to read at random, and on large
// files a table that a processor's caches can still hold.
//
// The table's hash is keyed by a seed drawn from the system's random source
// for every counter, so that a file cannot choose the slots of its tuples:
// tuples made to share one slot under a known hash would make counting
// quadratic in the rows. What comes out, and its order, does not depend on
// the seed.

#include <cstdint>
#include <optional>
#include <vector>

#include "tables/tasks.h"
#include "tables/tuple_counts.h"

namespace zover {

// Apart in memory from anything else (alignas), so that a counter counting
// on one thread shares no cache line with what another thread writes.
class alignas(kThreadApart) TupleCounter {
 public:
  explicit TupleCounter(int raters) : TupleCounter(raters, RandomSeed()) {}
  TupleCounter(int raters, std::uint64_t seed);

  // A seed from the system's random source (from the clock and the
  // program's addresses when there is none).
  static std::uint64_t RandomSeed();

  // The finaliser of splitmix64, a bijection in which every bit of the
  // input moves the low bits that pick a slot. Unkeyed it is easily
  // inverted, so its callers feed it the key xor a secret seed.
  static std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
  }

  // Counts `weight` objects (0 is allowed) with the values values[0 .. R-1].
  // The first Add of a tuple keeps `tag`; a later Add of the same tuple
  // counts as well and returns that first tag. Throws std::overflow_error
  // when a tuple's count would pass 4294967294.
  std::optional<std::uint32_t> Add(const std::uint16_t* values, std::uint32_t weight = 1, std::uint32_t tag = 0);

  // Counts one object with the values values[0 .. R-1], like Add, but may
  // put off the counting until a few more objects have come (or Finish), so
  // that the slots of several tuples are fetched from memory at once. For a
  // reader that needs no answer from Add.
  void AddObject(const std::uint16_t* values) {
    if (width_ > 0) {
      std::uint64_t key = 0;
      unsigned top = 0;
      for (int r = 0; r < raters_; ++r) {
        key = key << width_ | values[r];
        top |= values[r];
      }
      if (top >> width_ == 0) {
        PutOff(key);
        return;
      }
    }
    Add(values);
  }

  // AddObject for a reader that packed the values itself: `key` holds
  // values[0 .. R-1] at `width` bits each, values[0] in the highest bits
  // (packed with width(), read before the object), and `top` is the bitwise
  // or of the values.
  void AddObject(std::uint64_t key, int width, unsigned top, const std::uint16_t* values) {
    if (width == width_ && width > 0 && top >> width == 0) {
      PutOff(key);
      return;
    }
    AddObject(values);
  }

  // AddObject for a key packed at `width` bits (not 0) whose values fit in
  // them, packed before the counter's width was known: a key of another
  // width than the counter's is unpacked and counted by its values.
  void AddObject(std::uint64_t key, int width) {
    if (width == width_) {
      PutOff(key);
      return;
    }
    std::uint16_t values[kMaxPackedRaters];
    const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
    for (int r = raters_ - 1; r >= 0; --r, key >>= width) values[r] = static_cast<std::uint16_t>(key & mask);
    AddObject(values);
  }

  // The bits per value of a packed key, 0 once tuples are class vectors.
  int width() const { return width_; }
  // The width of a counter's keys of `raters` values at `width` bits once
  // it has counted a tuple whose values, or-ed together, give `top`: as
  // wide as `top` needs, or 0 (class vectors) beyond 64 bits a key.
  static int WidthAfter(int width, unsigned top, int raters);

  // Distinct tuples counted so far (those of weight 0 included).
  std::size_t distinct() {
    Flush();
    return used_;
  }

  // The tuples with a count above 0, sorted; the counter is left empty.
  // Tuples counted in slots of 8 bytes stay in them.
  TupleCounts Finish();

 private:
  static constexpr std::uint32_t kEmpty = UINT32_MAX;  // the count of a free slot
  static constexpr int kMaxPackedRaters = 64;  // at a bit each

  // Objects put off by AddObject: packed keys whose slots are being fetched.
  static constexpr std::size_t kPutOff = 16;

  // The packed key of R values at `width_` bits each; `top`, if given,
  // receives the bitwise or of the values (they fit when top >> width_ is 0).
  std::uint64_t Pack(const std::uint16_t* values, unsigned* top = nullptr) const;
  std::uint64_t HashOf(std::uint64_t key) const;  // of a packed key or a vector's slot key
  std::uint64_t PackedHash(std::uint64_t key) const { return Mix(key ^ seed_); }
  std::uint32_t VectorHash(const std::uint16_t* values) const;
  const std::uint16_t* VectorOf(std::uint64_t key) const;
  std::optional<std::uint32_t> AddPacked(std::uint64_t key, std::uint64_t hash, std::uint32_t weight,
                                         std::uint32_t tag);
  // Asks for the slot of `key` and counts, in its place, the key put off
  // longest, whose slot has had time to arrive.
  void PutOff(std::uint64_t key) {
    if (narrow_) {
      __builtin_prefetch(&narrowSlots_[PackedHash(key) & (narrowSlots_.size() - 1)]);
    } else {
      __builtin_prefetch(&slots_[PackedHash(key) & (slots_.size() - 1)]);
    }
    if (putOffCount_ < kPutOff) {
      putOff_[putOffCount_++] = key;
      return;
    }
    const std::uint64_t oldest = putOff_[putOffNext_];
    putOff_[putOffNext_] = key;
    putOffNext_ = (putOffNext_ + 1) % kPutOff;
    CountPutOff(oldest);
  }
  // Counts one object of a key put off: AddPacked without a tag, and with
  // nothing to give back, which spares the hot path building an optional.
  void CountPutOff(std::uint64_t key);
  // Counts the objects put off.
  void Flush();
  std::optional<std::uint32_t> AddVector(const std::uint16_t* values, std::uint32_t weight, std::uint32_t tag);
  static void Count(std::uint32_t& count, std::uint32_t weight);
  // A slot of a packed key of 32 bits at most, and no tag.
  using NarrowSlot = NarrowTupleSlot;
  // Insert's answer for a tuple not counted before; else it gives the
  // earlier tuple's tag.
  static constexpr std::uint64_t kNew = UINT64_MAX;
  template <typename Slot>
  std::uint64_t Insert(std::vector<Slot>& table, std::uint64_t key, std::uint64_t hash, std::uint32_t weight,
                       std::uint32_t tag);
  // Room for one more tuple: doubles the table when it is 7/8 full.
  void Reserve();
  // Puts every tuple again into a table of `capacity` slots.
  void Rehash(std::size_t capacity);
  // Moves the tuples into slots of 16 bytes, a table of the same capacity.
  void LeaveNarrow();
  // The counter as it starts: no tuple, keys of one bit per rater.
  void Start();
  // Values up to `top` need more bits: re-packs the keys, or turns them into
  // class vectors.
  void Widen(unsigned top);

  int raters_;
  std::uint64_t seed_;
  int width_ = 1;  // bits per rater of a packed key; 0 once tuples are class vectors
  bool narrow_ = false;                 // the table is narrowSlots_ (else slots_)
  std::vector<NarrowSlot> narrowSlots_;  // power-of-two size
  std::vector<TupleSlot> slots_;         // power-of-two size
  std::size_t used_ = 0;
  std::vector<std::uint16_t> vectors_;  // R values per tuple
  std::uint64_t putOff_[kPutOff] = {};  // keys put off, oldest at putOffNext_ once full
  std::size_t putOffCount_ = 0;
  std::size_t putOffNext_ = 0;
};

}  // namespace zover
