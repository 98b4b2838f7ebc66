// The object-by-class tables of Fleiss' kappa: datafleiss[i][m-1], how many
// objects (weighted) exactly m raters put in class i, and in mode 3
// RFleiss[row][i], how many raters put the row in class i. In the file modes
// a row is a response tuple that occurs, weighted by its count; in mode 3 a
// typed tuple, weighted by its frequency, a tuple of frequency 0 counting
// nowhere. The file modes keep no RFleiss: Fleiss' kappa tallies a tuple's
// raters from its classes.
//
// A row costs O(R): only the classes that its raters chose are visited.

#include <cmath>
#include <vector>

#include "input/input.h"

namespace zover {

namespace {

void ClearDatafleiss(Tables& tb, int raters) {
  for (int i = 0; i < tb.K; ++i) {
    for (int q = 0; q < raters; ++q) tb.datafleiss[i][q] = 0;
  }
}

// Adds `weight` to datafleiss for every class of the tallied row.
void CountRow(Tables& tb, const ClassTally& tally, int weight) {
  for (const int i : tally.used()) tb.datafleiss[i][tally.raters(i) - 1] += weight;
}

// The occurring tuples of the file modes, classes numbered from 1.
void CountTuples(Tables& tb) {
  ClassTally tally(tb.K);
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    tally.Tally(tb.frec.Values(u, scratch.data()), tb.R, 1);
    CountRow(tb, tally, static_cast<int>(tb.frec.count(u)));
  }
}

}  // namespace

void TablaFleiss(Tables& tb) {
  tb.K = tb.maxclase;
  ClearDatafleiss(tb, tb.R);
  tb.RFleiss = Grid<int>();
  CountTuples(tb);
}

void TablaFleissExtra(Tables& tb) {
  ClearDatafleiss(tb, tb.nraters);
  tb.RFleiss = Grid<int>();
  CountTuples(tb);
}

void TablaFleissExten(Tables& tb) {
  ClearDatafleiss(tb, tb.R);
  const auto tuples = static_cast<std::size_t>(std::pow(tb.K, tb.R));
  tb.RFleiss = Grid<int>(tuples, static_cast<std::size_t>(tb.K));
  ClassTally tally(tb.K);
  for (std::size_t t = 0; t < tuples; ++t) {
    const int frequency = tb.indicexten[t][tb.R];
    if (frequency <= 0) continue;
    tally.Tally(tb.indicexten[t], tb.R, 0);
    for (const int i : tally.used()) tb.RFleiss[t][i] = tally.raters(i);
    CountRow(tb, tally, frequency);
  }
}

}  // namespace zover
