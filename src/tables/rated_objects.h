#pragma once
// The objects of a data file one by one: the observed data hold them
// (tables.h) and the adjudication list of the results shows them
// (results.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zover {

// The objects of a data file one by one, in file order, kept only when a
// reader is asked to (FileLayout::keepObjects): what an adjudication list
// needs and the counted tuples lose.
struct RatedObjects {
  bool kept = false;
  int raters = 0;
  std::vector<std::uint16_t> ratings;  // [object * raters + rater]: class 1 .. K, 0 for a missing rating
  std::vector<std::string> ids;        // [object]: the file's name of it; empty when the file names none
  std::vector<long long> lines;        // [object]: its line (in a long file the line of its first rating)

  std::size_t size() const { return lines.size(); }
  const std::uint16_t* Ratings(std::size_t object) const {
    return ratings.data() + object * static_cast<std::size_t>(raters);
  }
};

}  // namespace zover
