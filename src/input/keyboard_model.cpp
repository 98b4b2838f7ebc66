// Mode 4: the agreements of every class and the disagreements of every class
// and rater, typed directly.

#include <charconv>
#include <ostream>
#include <string>

#include "console/format.h"
#include "input/keyboard.h"
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

// The prompts "\n Agreements i = %d : " and "\n Disagreements i = %d, Rater
// = %d : ", written into one reused string: K = R = 1000 asks a million of
// them, and the general formatter would cost more than reading the answers.
class Prompt {
 public:
  const std::string& Agreements(int i) {
    text_.assign("\n Agreements i = ");
    Append(i);
    text_ += " : ";
    return text_;
  }
  const std::string& Disagreements(int i, int r) {
    text_.assign("\n Disagreements i = ");
    Append(i);
    text_ += ", Rater = ";
    Append(r);
    text_ += " : ";
    return text_;
  }

 private:
  void Append(int n) {
    char digits[16];
    text_.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
  }
  std::string text_;
};

}  // namespace

void Matrix(Console& con, const Dimensions& dims, ObservedData& tb) {
  tb.entrada = EntryMode::kKeyboardModel;
  tb.K = dims.K;
  tb.R = dims.R;
  tb.Norg = dims.n;
  SizeClassTables(tb);
  Prompt prompt;
  while (true) {
    double agreements = 0;     // A
    double disagreements = 0;  // F
    Print(con.out, "\n\n\n Data for ALFA ");
    Print(con.out, "\n");
    for (int i = 0; i < tb.K; ++i) {
      tb.successaux[i] = AskCount(con, prompt.Agreements(i + 1));
      double classTotal = 0;
      for (int r = 0; r < tb.R; ++r) {
        const double f = AskCount(con, prompt.Disagreements(i + 1, r + 1));
        tb.failaux[i][r] = f;
        classTotal += f;
      }
      tb.Fvect[i] = classTotal;
      agreements += tb.successaux[i];
      disagreements += tb.Fvect[i];
    }
    // Every object on which the raters do not all agree gives one
    // disagreement per rater.
    if (Near(disagreements, tb.R * (tb.Norg - agreements))) return;
    Print(con.out, "\n\n ERROR in the data entry. Introduce again.");
  }
}

}  // namespace zover
