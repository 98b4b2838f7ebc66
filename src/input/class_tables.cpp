// The class tables of the observed-data modes: per class the agreements
// (objects all raters put in it) and per class and rater the disagreements
// (objects the rater put in it while not all raters agreed), the model's
// input, and in modes 1 and 2 the counts of the response tuples that occur,
// which Hubert's kappa needs.

#include <climits>
#include <cmath>

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

// clases and ac from the occurring tuples of `indice` and `frec`.
void CountsFromTuples(Tables& tb) {
  ClearClassCounts(tb);
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    const std::uint16_t* tuple = tb.indice[u];
    for (int r = 0; r < tb.R; ++r) tb.clases[tuple[r]][r] += tb.frec[u].count;
    if (tb.frec[u].unanimous) tb.ac[tuple[0]] = tb.frec[u].count;
  }
}

}  // namespace

void TablaInicial(Tables& tb) {
  const auto objects = static_cast<std::size_t>(tb.Norg);
  ObservedTuples(tb, objects, false);
  CountsFromTuples(tb);

  tb.obj.assign(objects, 0);
  for (std::size_t j = 0; j < objects; ++j) {
    const int* row = tb.data[j];
    int same = 1;
    for (int r = 1; r < tb.R; ++r) {
      if (row[r] != row[0]) same = 0;
    }
    tb.obj[j] = same;
  }
  AgreementsAndDisagreements(tb);
}

// The reader has refused repeated tuples, so every occurring tuple comes from
// exactly one row and carries that row's frequency.
void TablaInicialExtra(Tables& tb) {
  ObservedTuples(tb, static_cast<std::size_t>(tb.contextra), true);
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
