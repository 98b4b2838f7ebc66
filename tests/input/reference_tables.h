#pragma once
// The tables of a raw responses file built the way the program once built
// them: every object kept as a row, the occurring tuples found by sorting
// the rows, the class counts and datafleiss by loops over every object and
// every class. Test-only: the build from tuples counted while reading must
// give exactly these integers.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "input/text_fields.h"
#include "input_fixtures.h"

namespace zover::testing {

struct ReferenceTables {
  Rows tuples;      // as Occurring gives them
  Rows clases;      // [class][rater]
  std::vector<int> ac;
  Rows datafleiss;  // [class][raters - 1]
};

// The objects of a well-formed raw file (no header, no labels, no mark).
inline Rows ReferenceObjects(const std::string& file) {
  Rows data;
  std::vector<std::string_view> fields;
  std::string scratch;
  for (std::size_t at = 0; at < file.size();) {
    const std::size_t end = std::min(file.find('\n', at), file.size());
    std::string_view line = std::string_view(file).substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    SplitFields(line, fields, scratch);
    if (!fields.empty()) {
      data.emplace_back();
      for (const auto field : fields) data.back().push_back(static_cast<int>(*WholeField(field, 1000)));
    }
    at = end + 1;
  }
  return data;
}

inline ReferenceTables ReferenceBuild(const Rows& data, int K) {
  const int R = static_cast<int>(data[0].size());
  ReferenceTables ref{{}, Rows(K, std::vector<int>(R, 0)), std::vector<int>(K, 0), Rows(K, std::vector<int>(R, 0))};
  std::vector<std::size_t> order(data.size());
  for (std::size_t j = 0; j < order.size(); ++j) order[j] = j;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return data[a] < data[b]; });
  for (std::size_t first = 0, next; first < order.size(); first = next) {
    for (next = first; next < order.size() && data[order[next]] == data[order[first]]; ++next) {}
    std::vector<int> tuple = data[order[first]];
    for (int& c : tuple) --c;
    const bool unanimous = std::count(tuple.begin(), tuple.end(), tuple[0]) == R;
    tuple.insert(tuple.end(), {static_cast<int>(next - first), unanimous ? 1 : 0});
    ref.tuples.push_back(tuple);
  }
  for (const auto& object : data) {
    bool same = true;
    for (int r = 0; r < R; ++r) {
      ++ref.clases[object[r] - 1][r];
      same = same && object[r] == object[0];
    }
    if (same) ++ref.ac[object[0] - 1];
    for (int k = 1; k <= K; ++k) {
      const int m = static_cast<int>(std::count(object.begin(), object.end(), k));
      if (m >= 1) ++ref.datafleiss[k - 1][m - 1];
    }
  }
  return ref;
}

}  // namespace zover::testing
