// Mode 3: the frequency of every one of the K^R response tuples, typed at the
// keyboard, until they add up to n. The typed tuples go into the same tuple
// counts as the data files (frec).
//
// The tuples are asked in an order of their own: tuple s = a * K^(R-1) + q
// gives rater 0 class a, and raters 1 .. R-1 the base-K digits of q from the
// least significant one up, so rater 0 varies slowest, rater 1 fastest, and
// each later rater more slowly than the one before it. For R = 2 this is the
// plain order of the tuple numbers. The counts keep the tuples in the order
// they were typed: the variances of the kappas sum over the tuples in that
// order, and a sum's last digits depend on its order.

#include <cmath>
#include <ostream>
#include <vector>

#include "console/format.h"
#include "input/keyboard.h"
#include "input/tuple_counter.h"
#include "tables/near.h"

namespace zover {

namespace {

// The classes 1 .. K of the raters in tuple s of the keyboard order.
void TypedTuple(const ObservedData& tb, std::size_t s, std::size_t perClass, std::uint16_t* classes) {
  classes[0] = static_cast<std::uint16_t>(s / perClass + 1);
  std::size_t q = s % perClass;
  for (int r = 1; r < tb.R; ++r, q /= static_cast<std::size_t>(tb.K)) {
    classes[r] = static_cast<std::uint16_t>(q % static_cast<std::size_t>(tb.K) + 1);
  }
}

// Asks the frequency of the tuple `classes` until the answer is a whole
// number that is not below 0; a rejected answer asks again without a
// message. Returns the floor of the last number read.
double AskFrequency(Console& con, const ObservedData& tb, const std::uint16_t* classes) {
  while (true) {
    Print(con.out, "\n Frequencies of R-tuple ");
    for (int r = 0; r < tb.R; ++r) Print(con.out, " %d ", {static_cast<int>(classes[r])});
    Print(con.out, " :  ");
    const std::optional<double> x = ReadNumberAnswer(con);
    if (!x) continue;
    if (IsWhole(*x) && *x >= 0) return std::floor(*x);
  }
}

}  // namespace

void DatosEx(Console& con, const Dimensions& dims, ObservedData& tb) {
  tb.entrada = EntryMode::kKeyboardFrequencies;
  tb.K = dims.K;
  tb.R = dims.R;
  tb.Norg = dims.n;
  const auto tuples = static_cast<std::size_t>(std::pow(tb.K, tb.R));        // K^R
  const auto perClass = static_cast<std::size_t>(std::pow(tb.K, tb.R - 1));  // K^(R-1)
  std::vector<std::uint16_t> classes(static_cast<std::size_t>(tb.R));
  std::vector<double> typed(tuples);
  while (true) {
    Print(con.out, "\n\n\n OBSERVED DATA (with frequencies) ");
    Print(con.out, "\n");
    double total = 0;
    for (std::size_t s = 0; s < tuples; ++s) {
      TypedTuple(tb, s, perClass, classes.data());
      typed[s] = AskFrequency(con, tb, classes.data());
      total += typed[s];
    }
    if (Near(total, tb.Norg)) break;
    Print(con.out, "\n\n ERROR in the data entry. Introducing again.");
  }
  // The frequencies add up to n (at most 10^9) and none is below 0, so each
  // fits the counts.
  TupleCounter counter(tb.R);
  for (std::size_t s = 0; s < tuples; ++s) {
    if (typed[s] == 0) continue;
    TypedTuple(tb, s, perClass, classes.data());
    counter.Add(classes.data(), static_cast<std::uint32_t>(typed[s]), static_cast<std::uint32_t>(s));
  }
  tb.frec = counter.Finish();
  tb.frec.OrderByTag();
}

}  // namespace zover
