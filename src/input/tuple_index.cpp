// Response tuples: the full list of all K^R of them, and the list of those
// that occur in the observed data, both in increasing tuple number (the
// tuple number written in base K, rater 0 the most significant digit).

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

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

// Sorting the rows by their class vectors, compared rater by rater, puts them
// in increasing tuple number without forming the number itself (K^R need not
// fit in 64 bits); equal vectors then lie next to each other and make one
// tuple. This costs O(n log n * R), whatever K^R is.
void ObservedTuples(Tables& tb, std::size_t rows, bool weighted) {
  const int R = tb.R;
  const Grid<int>& data = tb.data;
  auto weight = [&](std::size_t row) -> long long { return weighted ? data[row][R] : 1; };

  std::vector<std::size_t> order;
  order.reserve(rows);
  for (std::size_t row = 0; row < rows; ++row) {
    if (weight(row) > 0) order.push_back(row);
  }
  auto compare = [&](std::size_t a, std::size_t b) {
    const int* x = data[a];
    const int* y = data[b];
    for (int r = 0; r < R; ++r) {
      if (x[r] != y[r]) return x[r] < y[r];
    }
    return false;
  };
  std::sort(order.begin(), order.end(), compare);

  tb.indice = Grid<std::uint16_t>(0, static_cast<std::size_t>(R));
  tb.frec.clear();
  for (std::size_t first = 0; first < order.size();) {
    const int* classes = data[order[first]];
    long long count = 0;
    std::size_t next = first;
    for (; next < order.size() && !compare(order[first], order[next]); ++next) {
      count += weight(order[next]);
    }
    std::uint16_t* tuple = tb.indice.AddRow();
    int unanimous = 1;
    for (int r = 0; r < R; ++r) {
      tuple[r] = static_cast<std::uint16_t>(classes[r] - 1);
      if (classes[r] != classes[0]) unanimous = 0;
    }
    tb.frec.push_back({static_cast<int>(count), unanimous});
    first = next;
  }
}

}  // namespace zover
