// Mode 4: the agreements of every class and the disagreements of every class
// and rater, typed directly.

#include <ostream>
#include <string>

#include "console/format.h"
#include "input/input.h"
#include "tables/near.h"

namespace zover {

namespace {

// Shows `prompt` until the answer is a number that is not below 0; any such
// number is taken as typed, whole or not.
double AskCount(Console& con, const std::string& prompt) {
  while (true) {
    con.out << prompt;
    const std::optional<double> x = ReadNumberAnswer(con);
    if (x && *x >= 0) return *x;
  }
}

}  // namespace

void Matrix(Console& con, Tables& tb) {
  while (true) {
    double agreements = 0;     // A
    double disagreements = 0;  // F
    Print(con.out, "\n\n\n Data for ALFA ");
    Print(con.out, "\n");
    for (int i = 0; i < tb.K; ++i) {
      tb.success[i] = AskCount(con, Format("\n Agreements i = %d : ", {i + 1}));
      tb.successaux[i] = tb.success[i];
      double classTotal = 0;
      for (int r = 0; r < tb.R; ++r) {
        const double f = AskCount(con, Format("\n Disagreements i = %d, Rater = %d : ", {i + 1, r + 1}));
        tb.fail[i][r] = f;
        tb.failaux[i][r] = f;
        classTotal += f;
      }
      tb.Fvect[i] = classTotal;
      agreements += tb.success[i];
      disagreements += tb.Fvect[i];
    }
    // Every object on which the raters do not all agree gives one
    // disagreement per rater.
    if (Near(disagreements, tb.R * (tb.Norg - agreements))) return;
    Print(con.out, "\n\n ERROR in the data entry. Introduce again.");
  }
}

}  // namespace zover
