// The object-by-class tables of Fleiss' kappa: datafleiss[i][m-1], how many
// objects (weighted) exactly m raters put in class i, and in mode 3
// RFleiss[row][i], how many raters put the row in class i. A row is an object
// in mode 1, a file row in mode 2 and a response tuple in mode 3; in modes 2
// and 3 it is weighted by its frequency, and a row of frequency 0 counts
// nowhere. The file modes keep no RFleiss: Fleiss' kappa counts the raters
// of such a row from its classes in `data`.

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

// Counts the raters of one row per class into `counts` (K cells, zero on
// entry) from the classes of its raters, numbered from `firstClass` (1 in
// the files, 0 in indicexten), and adds `weight` to datafleiss for every
// class that at least one rater chose.
void CountRow(Tables& tb, int* counts, const int* classes, int firstClass, int weight) {
  for (int r = 0; r < tb.R; ++r) ++counts[classes[r] - firstClass];
  for (int i = 0; i < tb.K; ++i) {
    if (counts[i] >= 1) tb.datafleiss[i][counts[i] - 1] += weight;
  }
}

// The rows of a data file go through one scratch row of counts, cleared
// after each row: a table of every row by every class would take n * K cells
// for a file of n * R classes (4 GB for a million lines of two raters that
// use class 1000).
void CountFileRow(Tables& tb, std::vector<int>& counts, const int* classes, int weight) {
  CountRow(tb, counts.data(), classes, 1, weight);
  for (int r = 0; r < tb.R; ++r) counts[classes[r] - 1] = 0;
}

}  // namespace

void TablaFleiss(Tables& tb) {
  tb.K = tb.maxclase;
  ClearDatafleiss(tb, tb.R);
  const auto objects = static_cast<std::size_t>(tb.Norg);
  tb.RFleiss = Grid<int>();
  std::vector<int> counts(static_cast<std::size_t>(tb.K), 0);
  for (std::size_t o = 0; o < objects; ++o) CountFileRow(tb, counts, tb.data[o], 1);
}

void TablaFleissExtra(Tables& tb) {
  ClearDatafleiss(tb, tb.nraters);
  const auto rows = static_cast<std::size_t>(tb.contextra);
  tb.RFleiss = Grid<int>();
  std::vector<int> counts(static_cast<std::size_t>(tb.K), 0);
  for (std::size_t j = 0; j < rows; ++j) {
    const int frequency = tb.data[j][tb.R];
    if (frequency > 0) CountFileRow(tb, counts, tb.data[j], frequency);
  }
}

void TablaFleissExten(Tables& tb) {
  ClearDatafleiss(tb, tb.R);
  const auto tuples = static_cast<std::size_t>(std::pow(tb.K, tb.R));
  tb.RFleiss = Grid<int>(tuples, static_cast<std::size_t>(tb.K));
  for (std::size_t t = 0; t < tuples; ++t) {
    const int frequency = tb.indicexten[t][tb.R];
    if (frequency > 0) CountRow(tb, tb.RFleiss[t], tb.indicexten[t], 0, frequency);
  }
}

}  // namespace zover
