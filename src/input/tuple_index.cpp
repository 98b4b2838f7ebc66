// Response tuples: the full list of all K^R of them, in increasing tuple
// number (the tuple number written in base K, rater 0 the most significant
// digit). The tuples that occur in observed data are counted by the file
// readers (TupleCounter).

#include <cmath>
#include <stdexcept>

#include "input/input.h"

namespace zover {

// Column i runs through the classes 0 .. K-1 in runs of K^(R-1-i) equal
// entries, so the last rater varies fastest.
Grid<std::uint16_t> indicematrix(int K, int R) {
  const double tuples = std::pow(K, R);
  // A count that no size_t holds cannot be listed (nor converted safely).
  if (!(tuples < 0x1p62)) throw std::length_error("indicematrix: too many response tuples to list");
  const auto count = static_cast<std::size_t>(tuples);
  Grid<std::uint16_t> indice(count, static_cast<std::size_t>(R));
  for (int i = 0; i < R; ++i) {
    const auto period = static_cast<std::size_t>(std::pow(K, R - 1 - i));
    int v = 0;
    std::size_t u = 0;
    for (std::size_t t = 0; t < count; ++t) {
      indice[t][i] = static_cast<std::uint16_t>(v);
      if (++u == period) {
        ++v;
        u = 0;
      }
      if (v > K - 1) v = 0;
    }
  }
  return indice;
}

}  // namespace zover
