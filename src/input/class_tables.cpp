// The class tables of the observed-data modes: per class the agreements
// (objects all raters put in it) and per class and rater the disagreements
// (objects the rater put in it while not all raters agreed), the model's
// input. Modes 1 and 2 build them from the counts of the response tuples
// that occur (frec, counted by the file readers), mode 3 from the typed
// frequencies.

#include <climits>
#include <cmath>
#include <vector>

#include "input/input.h"

namespace zover {

namespace {

void ClearClassCounts(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.ac[i] = 0;
    for (int r = 0; r < tb.R; ++r) tb.clases[i][r] = 0;
  }
}

// success = successaux = ac; fail = failaux = clases - ac.
void AgreementsAndDisagreements(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.success[i] = tb.ac[i];
    tb.successaux[i] = tb.ac[i];
    for (int r = 0; r < tb.R; ++r) {
      const double f = tb.clases[i][r] - tb.ac[i];
      tb.fail[i][r] = f;
      tb.failaux[i][r] = f;
    }
  }
}

// clases and ac from the occurring tuples of `frec`: R additions a tuple.
void CountsFromTuples(Tables& tb) {
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

// The file reader has counted the tuples (frec) as it read the objects.
void TablaInicial(Tables& tb) {
  CountsFromTuples(tb);
  AgreementsAndDisagreements(tb);
}

// The reader has refused repeated tuples, so every occurring tuple comes from
// exactly one row and carries that row's frequency.
void TablaInicialExtra(Tables& tb) {
  CountsFromTuples(tb);
  AgreementsAndDisagreements(tb);
}

// Mode 3 keeps every tuple, in the order of indicexten, with the frequency
// typed for it in column R; the agreements of class i are the frequency
// typed for its unanimous tuple.
void TablaInicialExten(Tables& tb) {
  ClearClassCounts(tb);
  const auto tuples = static_cast<std::size_t>(std::pow(tb.K, tb.R));
  for (std::size_t t = 0; t < tuples; ++t) {
    const int* tuple = tb.indicexten[t];
    for (int r = 0; r < tb.R; ++r) tb.clases[tuple[r]][r] += tuple[tb.R];
  }
  const int perClass = static_cast<int>(std::pow(tb.K, tb.R - 1));  // K^(R-1)
  for (int i = 0; i < tb.K; ++i) {
    const double typed = tb.xx[i][(perClass - 1) * i / (tb.K - 1)];
    tb.ac[i] = typed >= INT_MAX ? INT_MAX : static_cast<int>(typed);
  }
  AgreementsAndDisagreements(tb);
}

}  // namespace zover
