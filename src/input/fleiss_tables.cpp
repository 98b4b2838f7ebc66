// The object-by-class table of Fleiss' kappa: datafleiss[i][m-1], how many
// objects exactly m raters put in class i. A row is a response tuple that
// occurs (frec), weighted by the objects that gave it. No table of raters by
// row and class is kept: Fleiss' kappa tallies a tuple's raters from its
// classes.
//
// A row costs O(R): only the classes that its raters chose are visited.

#include <vector>

#include "input/input.h"

namespace zover {

namespace {

void ClearDatafleiss(ObservedData& tb) {
  for (int i = 0; i < tb.K; ++i) {
    for (int q = 0; q < tb.R; ++q) tb.datafleiss[i][q] = 0;
  }
}

}  // namespace

// The occurring tuples, classes numbered from 1: each adds its count to
// datafleiss for every class of its tally.
void TablaFleiss(ObservedData& tb) {
  ClearDatafleiss(tb);
  ClassTally tally(tb.K);
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    tally.Tally(tb.frec.Values(u, scratch.data()), tb.R, 1);
    const auto count = static_cast<int>(tb.frec.count(u));
    for (const int i : tally.used()) tb.datafleiss[i][tally.raters(i) - 1] += count;
  }
}

// The frequencies file gives each tuple once (the reader refuses a repeated
// one), weighted by its frequency: the same count as TablaFleiss.
void TablaFleissExtra(ObservedData& tb) { TablaFleiss(tb); }

}  // namespace zover
