#pragma once
// Small helpers shared by the root finder and the search for B.

#include <cstdint>
#include <cstring>

namespace zover::detail {

// -1 for a negative value, +1 otherwise (zero and NaN included): the sign
// the searches compare.
inline int Sign(double y) { return y < 0 ? -1 : 1; }

// Equal bit patterns. The searches stop early only when their state repeats
// exactly, so that every later pass would be a copy of the last one.
inline bool SameBits(double x, double y) {
  std::uint64_t bx, by;
  std::memcpy(&bx, &x, sizeof bx);
  std::memcpy(&by, &y, sizeof by);
  return bx == by;
}

}  // namespace zover::detail
