// Mode 3: the frequency of every one of the K^R response tuples, typed at the
// keyboard, until they add up to n.
//
// The tuples keep their own order here (indicexten), not that of indice:
// tuple s = a * K^(R-1) + q gives rater 0 class a, and raters 1 .. R-1 the
// base-K digits of q from the least significant one up, so rater 0 varies
// slowest, rater 1 fastest, and each later rater more slowly than the one
// before it. For R = 2 this is the plain order.

#include <climits>
#include <cmath>
#include <ostream>

#include "console/format.h"
#include "input/input.h"
#include "tables/near.h"

namespace zover {

namespace {

// Columns 0 .. R-1 of indicexten: R passes over the tuples; pass i writes
// runs of K^(R-1-i) equal classes into column R-i, and pass 0 also into
// column 0. Column R thus holds rater 0's class until the frequency replaces
// it.
void BuildTupleColumns(Tables& tb, std::size_t tuples) {
  for (int i = 0; i < tb.R; ++i) {
    const auto period = static_cast<std::size_t>(std::pow(tb.K, tb.R - 1 - i));
    int v = 0;
    std::size_t u = 0;
    for (std::size_t s = 0; s < tuples; ++s) {
      tb.indicexten[s][tb.R - i] = v;
      if (i == 0) tb.indicexten[s][0] = v;
      if (++u == period) {
        ++v;
        u = 0;
      }
      if (v > tb.K - 1) v = 0;
    }
  }
}

// Asks the frequency of tuple `s` until the answer is a whole number that is
// not below 0; a rejected answer asks again without a message. The floor of
// every number read is stored in `cell`.
void AskFrequency(Console& con, const Tables& tb, std::size_t s, double& cell) {
  while (true) {
    Print(con.out, "\n Frequencies of R-tuple ");
    for (int r = 0; r < tb.R; ++r) Print(con.out, " %d ", {tb.indicexten[s][r] + 1});
    Print(con.out, " :  ");
    const std::optional<double> x = ReadNumberAnswer(con);
    if (!x) continue;
    cell = std::floor(*x);
    if (IsWhole(*x) && *x >= 0) return;
  }
}

// A typed frequency is any finite whole number, so it may not fit an int.
// Such a value can never be part of an entry that adds up to n (at most
// 10^9), so clamping it only keeps the conversion defined.
int ClampedFrequency(double typed) {
  return typed >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(typed);
}

}  // namespace

void DatosEx(Console& con, Tables& tb) {
  const auto tuples = static_cast<std::size_t>(std::pow(tb.K, tb.R));             // K^R
  const auto perClass = static_cast<std::size_t>(std::pow(tb.K, tb.R - 1));       // K^(R-1)
  const auto columns = static_cast<std::size_t>(tb.R) + 2;
  tb.indicexten = Grid<int>(tuples, columns);
  tb.xx = Grid<double>(static_cast<std::size_t>(tb.K), perClass);
  BuildTupleColumns(tb, tuples);

  while (true) {
    Print(con.out, "\n\n\n OBSERVED DATA (with frequencies) ");
    Print(con.out, "\n");
    for (int a = 0; a < tb.K; ++a) {
      const std::size_t unanimous = (perClass - 1) * static_cast<std::size_t>(a) / (tb.K - 1);
      for (std::size_t q = 0; q < perClass; ++q) {
        const std::size_t s = a * perClass + q;
        AskFrequency(con, tb, s, tb.xx[a][q]);
        tb.indicexten[s][tb.R] = ClampedFrequency(tb.xx[a][q]);
        tb.indicexten[s][tb.R + 1] = q == unanimous ? 1 : 0;
      }
    }
    double total = 0;
    for (int a = 0; a < tb.K; ++a) {
      for (std::size_t q = 0; q < perClass; ++q) total += tb.xx[a][q];
    }
    if (Near(total, tb.Norg)) return;
    Print(con.out, "\n\n ERROR in the data entry. Introducing again.");
  }
}

}  // namespace zover
