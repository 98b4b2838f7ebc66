#pragma once
// Shared set-up of the data-input tests: tables loaded as the main loop loads
// them, a console over strings, and random observed data in all three forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "input/keyboard.h"

namespace zover::testing {

using Rows = std::vector<std::vector<int>>;

// Rows 0 .. rows-1 and columns 0 .. cols-1 of a grid (all of it by default).
template <typename T>
Rows RowsOf(const Grid<T>& grid, std::size_t rows = SIZE_MAX, std::size_t cols = SIZE_MAX) {
  Rows out(std::min(rows, grid.rows()));
  for (std::size_t j = 0; j < out.size(); ++j) out[j].assign(grid[j], grid[j] + std::min(cols, grid.cols()));
  return out;
}

// Every one of the K^R response tuples in increasing tuple number: row t
// holds the 0-based classes of raters 0 .. R-1, rater 0 the most significant
// base-K digit, so the last rater varies fastest. It holds K^R * R cells, and
// throws std::length_error when K^R is beyond 2^62. (The program lists only
// the tuples that occur.)
inline Grid<std::uint16_t> indicematrix(int K, int R) {
  const double tuples = std::pow(K, R);
  if (!(tuples < 0x1p62)) throw std::length_error("indicematrix: too many response tuples to list");
  const auto count = static_cast<std::size_t>(tuples);
  Grid<std::uint16_t> indice(count, static_cast<std::size_t>(R));
  for (std::size_t t = 0; t < count; ++t) {
    std::size_t rest = t;
    for (int r = R - 1; r >= 0; --r, rest /= static_cast<std::size_t>(K)) {
      indice[t][r] = static_cast<std::uint16_t>(rest % static_cast<std::size_t>(K));
    }
  }
  return indice;
}

// (0-based classes..., count, unanimous) of the tuples counted in frec.
inline Rows Occurring(const ObservedData& tb) {
  Rows rows;
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.frec.raters()));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    const std::uint16_t* values = tb.frec.Values(u, scratch.data());
    rows.emplace_back(values, values + tb.frec.raters());
    for (int& c : rows.back()) --c;
    rows.back().insert(rows.back().end(), {static_cast<int>(tb.frec.count(u)), tb.frec.unanimous(u) ? 1 : 0});
  }
  return rows;
}

// The same from rows of classes 1..K, each with a last column of its weight
// when `weighted` (else weight 1): tuples in increasing order, weight 0 left
// out.
inline Rows TuplesOf(const Rows& data, bool weighted) {
  std::map<std::vector<int>, int> counts;
  for (const auto& row : data) {
    std::vector<int> classes(row.begin(), row.end() - (weighted ? 1 : 0));
    for (int& c : classes) --c;
    counts[classes] += weighted ? row.back() : 1;
  }
  Rows rows;
  for (const auto& [classes, count] : counts) {
    if (count == 0) continue;
    rows.push_back(classes);
    const bool unanimous = std::count(classes.begin(), classes.end(), classes[0]) == static_cast<long>(classes.size());
    rows.back().insert(rows.back().end(), {count, unanimous ? 1 : 0});
  }
  return rows;
}

// A console whose answers come from a string; it opens only the given files.
struct StringConsole {
  explicit StringConsole(const std::string& answers, std::map<std::string, std::string> files = {})
      : in(answers), files(std::move(files)) {}
  std::istringstream in;
  std::ostringstream out;
  std::map<std::string, std::string> files;
  Console con{in, out, [](int) {}, [] {}, [this](const std::string& name) -> std::unique_ptr<DataSource> {
                const auto it = files.find(name);
                if (it == files.end()) return nullptr;
                return std::make_unique<StringSource>(it->second);
              }};
};

// The observed data after a file reader (mode 1 or 2), the class tables
// sized.
inline ObservedData ReadFile(int mode, const std::string& text) {
  ObservedData tb;
  StringSource file(text);
  const ReadOutcome read = mode == 1 ? ArchivoFrom(file, tb) : ArchivoExtraFrom(file, tb);
  EXPECT_TRUE(read.ok) << read.message;
  SizeClassTables(tb);
  return tb;
}

// The observed data after DatosEx with the answers for K, R and n, the
// class tables sized.
inline ObservedData TypeFrequencies(int K, int R, double n, const std::string& answers, std::string* output = nullptr) {
  ObservedData tb;
  StringConsole console(answers);
  DatosEx(console.con, {K, R, n}, tb);
  if (output) *output = console.out.str();
  SizeClassTables(tb);
  return tb;
}

// Random observed data, 2 .. 4 classes, 2 .. 4 raters, 2 .. 40 objects, with
// class K used (so the files give this K), as a raw file, a frequencies file
// (tuples in random order) and the answers of the keyboard entry.
struct RandomData {
  int K, R;
  std::string raw, freq, typed;
  double n;
};

inline RandomData MakeRandomData(std::mt19937& random) {
  RandomData d;
  d.K = 2 + static_cast<int>(random() % 3);
  d.R = 2 + static_cast<int>(random() % 3);
  d.n = static_cast<double>(2 + random() % 39);
  std::map<std::vector<int>, int> counts;
  for (int j = 0; j < d.n; ++j) {
    std::vector<int> object;
    for (int r = 0; r < d.R; ++r) object.push_back(j == 0 && r == 0 ? d.K : 1 + static_cast<int>(random() % d.K));
    for (int r = 0; r < d.R; ++r) d.raw += std::to_string(object[r]) + (r + 1 < d.R ? " " : "\n");
    ++counts[object];
  }
  std::vector<std::pair<std::vector<int>, int>> rows(counts.begin(), counts.end());
  std::shuffle(rows.begin(), rows.end(), random);
  for (const auto& [tuple, count] : rows) {
    for (const int c : tuple) d.freq += std::to_string(c) + "\t";
    d.freq += std::to_string(count) + "\n";
  }
  // Keyboard order: tuple a * K^(R-1) + q gives the first rater class a and
  // the later raters the base-K digits of q, the least significant first.
  const int perClass = static_cast<int>(std::pow(d.K, d.R - 1));
  for (int a = 0; a < d.K; ++a) {
    for (int q = 0; q < perClass; ++q) {
      std::vector<int> tuple{a + 1};
      for (int rest = q, r = 1; r < d.R; ++r, rest /= d.K) tuple.push_back(rest % d.K + 1);
      d.typed += std::to_string(counts.count(tuple) ? counts[tuple] : 0) + "\n";
    }
  }
  return d;
}

}  // namespace zover::testing
