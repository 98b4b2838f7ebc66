// zover_floor FILE: the least work that a reader of a raw file must do, as
// the yardstick of the program's own reading (doc/performance.md, "The
// readers against the floor").
//
// It reads a comma-separated raw file, one object per line and one class
// number per rater, and counts its distinct response tuples, and does
// nothing else: no header, no quotes, no blanks, no missing ratings, no
// line ends but the line feed, no messages beyond a refusal of what it does
// not read, at most 10 raters of classes 1 to 7, each tuple packed into
// one 32-bit key of 3 bits per rater. It counts with the tuple counter's
// design, as fast as that design goes: an open-addressing table of 8-byte
// slots (a key of 32 bits and its count, as the counter keeps keys that
// fit 32 bits), the key's slot by a keyed mix of it, the slots of the next
// 16 keys asked for before each is counted, the table doubled when 7/8 full
// and asked to live on huge pages. It reads 1 MiB at a time and parses the
// lines in place. It prints the objects and the distinct tuples.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Slot {
  std::uint32_t key;
  std::uint32_t count;
};
constexpr std::uint32_t kEmpty = UINT32_MAX;

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

std::vector<Slot> NewSlots(std::size_t capacity) {
  std::vector<Slot> slots;
  slots.reserve(capacity);
  constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
  const auto begin = reinterpret_cast<std::uintptr_t>(slots.data());
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + capacity * sizeof(Slot)) & ~(kHuge - 1);
  if (capacity * sizeof(Slot) >= 2 * kHuge && last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
  slots.assign(capacity, Slot{0, kEmpty});
  return slots;
}

class Counter {
 public:
  Counter() : slots_(NewSlots(64)) {
    if (getrandom(&seed_, sizeof seed_, 0) != static_cast<ssize_t>(sizeof seed_)) seed_ = 0x2545f4914f6cdd1dull;
  }

  void Add(std::uint64_t key) {
    __builtin_prefetch(&slots_[Mix(key ^ seed_) & (slots_.size() - 1)]);
    if (waiting_ < kAhead) {
      ring_[waiting_++] = key;
      return;
    }
    const std::uint64_t oldest = ring_[next_];
    ring_[next_] = key;
    next_ = (next_ + 1) % kAhead;
    Count(oldest);
  }

  std::size_t Finish() {
    for (std::size_t i = 0; i < waiting_; ++i) Count(ring_[i]);
    waiting_ = 0;
    return used_;
  }

 private:
  static constexpr std::size_t kAhead = 16;

  void Count(std::uint64_t key) {
    if ((used_ + 1) * 8 > slots_.size() * 7) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = Mix(key ^ seed_) & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.count == kEmpty) {
        slot = {static_cast<std::uint32_t>(key), 1};
        ++used_;
        return;
      }
      if (slot.key == key) {
        ++slot.count;
        return;
      }
    }
  }

  void Grow() {
    std::vector<Slot> old = NewSlots(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.count == kEmpty) continue;
      std::size_t at = Mix(slot.key ^ seed_) & mask;
      while (slots_[at].count != kEmpty) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::uint64_t seed_ = 0;
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  std::uint64_t ring_[kAhead] = {};
  std::size_t waiting_ = 0;
  std::size_t next_ = 0;
};

[[noreturn]] void Refuse(unsigned long long line, const char* what) {
  std::fprintf(stderr, "zover_floor: line %llu: %s\n", line, what);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zover_floor FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  constexpr std::size_t kRead = 1 << 20;
  std::vector<char> buffer(kRead + 1);
  std::size_t kept = 0;  // bytes of a line that the last read cut
  unsigned long long objects = 0;
  int raters = 0;
  Counter counter;
  bool end = false;
  while (!end) {
    const ssize_t got = read(fd, buffer.data() + kept, kRead - kept);
    if (got < 0) {
      std::perror(argv[1]);
      return 1;
    }
    std::size_t size = kept + static_cast<std::size_t>(got);
    if (got == 0) {
      end = true;
      if (size == 0) break;
      if (buffer[size - 1] != '\n') buffer[size++] = '\n';  // the last line without its line end
    }
    std::size_t whole = size;
    while (whole > 0 && buffer[whole - 1] != '\n') --whole;
    if (whole == 0) Refuse(objects + 1, "longer than the buffer");
    const char* at = buffer.data();
    const char* const stop = at + whole;
    while (at != stop) {
      std::uint64_t key = 0;
      int fields = 0;
      while (true) {
        unsigned value = static_cast<unsigned char>(*at) - 48u;
        if (value > 9) Refuse(objects + 1, "a field that is not a class number");
        for (unsigned digit; (digit = static_cast<unsigned char>(*++at) - 48u) <= 9;) value = value * 10 + digit;
        if (value - 1 >= 7) Refuse(objects + 1, "a class beyond 1 to 7");
        key = key << 3 | value;
        ++fields;
        const char c = *at++;
        if (c == '\n') break;
        if (c != ',') Refuse(objects + 1, "a separator that is not a comma");
      }
      if (raters == 0) {
        if (fields > 10) Refuse(1, "more than 10 raters");
        raters = fields;
      } else if (fields != raters) {
        Refuse(objects + 1, "a number of fields that differs from the first line's");
      }
      counter.Add(key);
      ++objects;
    }
    kept = size - whole;
    std::memmove(buffer.data(), buffer.data() + whole, kept);
  }
  close(fd);
  std::printf("%llu objects, %zu distinct tuples\n", objects, counter.Finish());
  return 0;
}
