// The class tables of the observed-data modes: per class the agreements
// (objects all raters put in it) and per class and rater the disagreements
// (objects the rater put in it while not all raters agreed), the model's
// input. They are built from the counts of the response tuples that occur
// (frec), which the file readers and the keyboard entry of frequencies
// leave.

#include <vector>

#include "input/input.h"
#include "tables/tasks.h"

namespace zover {

namespace {

void ClearClassCounts(ObservedData& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.ac[i] = 0;
    for (int r = 0; r < tb.R; ++r) tb.clases[i][r] = 0;
  }
}

// successaux = ac; failaux = clases - ac.
void AgreementsAndDisagreements(ObservedData& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.successaux[i] = tb.ac[i];
    for (int r = 0; r < tb.R; ++r) tb.failaux[i][r] = tb.clases[i][r] - tb.ac[i];
  }
}

// clases and ac from the occurring tuples of `frec`: R additions a tuple.
void CountsFromTuples(ObservedData& tb) {
  ClearClassCounts(tb);
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    const std::uint16_t* tuple = tb.frec.Values(u, scratch.data());
    const auto count = static_cast<int>(tb.frec.count(u));
    for (int r = 0; r < tb.R; ++r) tb.clases[tuple[r] - 1][r] += count;
    if (tb.frec.unanimous(u)) tb.ac[tuple[0] - 1] = count;
  }
}

}  // namespace

void SizeClassTables(ObservedData& tb) {
  const auto k = static_cast<std::size_t>(tb.K);
  const auto r = static_cast<std::size_t>(tb.R);
  tb.clases = Grid<int>(k, r, 0);
  tb.ac.assign(k, 0);
  tb.datafleiss = Grid<int>(k, r, 0);
  tb.successaux.assign(k, 0.0);
  tb.failaux = Grid<double>(k, r, 0.0);
  tb.Fvect.assign(k, 0.0);
}

void BuildTupleTables(ObservedData& tb, int threads) {
  SizeClassTables(tb);
  // The two tables add whole numbers from the same tuples into tables of
  // their own: with many tuples the object-by-class table is built on a
  // second thread.
  SideThread side(tb.frec.size() >= kSideThreadWork && SideThreadAllowed(threads));
  if (tb.entrada == EntryMode::kFrequencyFile) {
    side.Start([&tb] { TablaFleissExtra(tb); });
    TablaInicialExtra(tb);
  } else {
    side.Start([&tb] { TablaFleiss(tb); });
    TablaInicial(tb);
  }
  side.Wait();
}

// The file reader has counted the tuples (frec) as it read the objects, or
// the keyboard entry as the frequencies were typed.
void TablaInicial(ObservedData& tb) {
  CountsFromTuples(tb);
  AgreementsAndDisagreements(tb);
}

// The reader has refused repeated tuples, so every occurring tuple comes from
// exactly one row and carries that row's frequency.
void TablaInicialExtra(ObservedData& tb) { TablaInicial(tb); }

}  // namespace zover
