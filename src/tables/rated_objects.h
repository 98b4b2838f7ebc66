#pragma once
// The objects of a data file one by one: the observed data hold them
// (tables.h), and the adjudication list that the kappa code makes of them
// (kappa/pairs.h) is part of the results (results.h).

#include <cstddef>
#include <cstdint>
#include <optional>
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

// One object of the adjudication list.
struct ObjectSummary {
  std::size_t object = 0;     // its place in file order (ObjectResults::objects)
  int ratings = 0;            // the raters who rated it
  std::optional<double> agreeingPairs;  // the share of its pairs of ratings in one class; none below two ratings
  std::optional<int> mode;    // the class that most of its ratings chose, when one class leads
  double modeShare = 0;       // the share of its ratings in the most chosen class (0 without ratings)
  bool unanimous = false;     // two ratings or more, all in one class
};

// The objects, most disputed first: the lowest share of agreeing pairs,
// then the lowest share of the most chosen class, then file order; objects
// with fewer than two ratings come last, in file order.
struct ObjectResults {
  bool kept = false;       // the objects were kept (asked for, and a raw or long file)
  std::string reason;      // why not
  RatedObjects objects;    // names, lines and ratings, in file order
  std::vector<ObjectSummary> disputed;
};

}  // namespace zover
