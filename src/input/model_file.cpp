// Model data from a file (the batch command's --model): the numbers that the
// keyboard model entry asks for, in its order: K, R, n, then per class its
// agreements and the disagreements of every rater. They may be spread over
// lines at will; fields are separated and numbers written as in the other
// data files (NumberField: no exponent, no hexadecimal).

#include <cmath>
#include <cstdio>
#include <string>

#include "input/reader_parts.h"
#include "tables/limits.h"
#include "tables/near.h"

namespace zover {

namespace {

std::string Shortest(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", x);
  return text;
}

// What the number at a position must be: its name and bounds.
struct Expected {
  std::string what;  // "K (the number of classes)", "the agreements of class 2", ...
  bool dimension;    // a whole number within [low, high]; otherwise a count not below 0
  double low, high;
};

Expected ExpectedAt(std::size_t position, int R) {
  switch (position) {
    case 0: return {"K (the number of classes)", true, 2, kMaxClasses};
    case 1: return {"R (the number of raters)", true, 2, kMaxRaters};
    case 2: return {"n (the number of objects)", true, 2, static_cast<double>(kMaxObjects)};
    default: break;
  }
  const std::size_t at = position - 3;
  const auto perClass = static_cast<std::size_t>(R) + 1;
  const int i = static_cast<int>(at / perClass) + 1;
  const int r = static_cast<int>(at % perClass);
  if (r == 0) return {"the agreements of class " + std::to_string(i), false, 0, 0};
  return {"the disagreements of class " + std::to_string(i) + ", rater " + std::to_string(r), false, 0, 0};
}

}  // namespace

ReadOutcome ReadModelFile(DataSource& file, ObservedData& tb, const std::string& name) {
  tb.entrada = EntryMode::kKeyboardModel;
  DataLineReader reader(file);
  std::size_t position = 0;  // numbers read so far
  std::size_t needed = 3;    // numbers the data need, once K and R are known
  double agreements = 0;     // A
  double disagreements = 0;  // F
  double classTotal = 0;
  while (true) {
    const LineStatus status = reader.Next();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refused(reader.Fault(status), name);
    const auto& fields = reader.fields();
    const long long line = reader.lineNumber();
    for (std::size_t f = 0; f < fields.size(); ++f, ++position) {
      const int number = static_cast<int>(f + 1);
      if (position >= needed) {
        return Refused(FaultAt(line, number, "more numbers than K = " + std::to_string(tb.K) + " and R = " +
                                                 std::to_string(tb.R) + " need (" + std::to_string(needed) + ")"),
                       name);
      }
      if (fields[f].empty()) return Refused(FaultAt(line, number, "the field is empty"), name);
      const Expected e = ExpectedAt(position, tb.R);
      const std::optional<double> x = NumberField(fields[f]);
      if (e.dimension) {
        if (!x || *x != std::floor(*x) || *x < e.low || *x > e.high) {
          return Refused(FaultAt(line, number, e.what + " must be a whole number from " + Shortest(e.low) + " to " +
                                                   Shortest(e.high)),
                         name);
        }
      } else if (!x || *x < 0) {
        return Refused(FaultAt(line, number, e.what + " must be a number not below 0"), name);
      }
      const double value = *x;
      if (position == 0) tb.K = static_cast<int>(value);
      if (position == 1) tb.R = static_cast<int>(value);
      if (position == 2) {
        tb.Norg = value;
        SizeClassTables(tb);
        needed = 3 + static_cast<std::size_t>(tb.K) * (static_cast<std::size_t>(tb.R) + 1);
      }
      if (position < 3) continue;
      const std::size_t cell = position - 3;
      const auto perClass = static_cast<std::size_t>(tb.R) + 1;
      const auto i = static_cast<int>(cell / perClass);
      const auto r = static_cast<int>(cell % perClass) - 1;
      if (r < 0) {
        tb.successaux[i] = value;
        classTotal = 0;
        continue;
      }
      tb.failaux[i][r] = value;
      classTotal += value;
      if (r == tb.R - 1) {
        tb.Fvect[i] = classTotal;
        agreements += tb.successaux[i];
        disagreements += tb.Fvect[i];
      }
    }
  }
  if (position < needed) {
    const std::string need = needed == 3 ? "K, R and n" : std::to_string(needed) + " (K = " + std::to_string(tb.K) +
                                                              ", R = " + std::to_string(tb.R) + ")";
    return Refused(std::to_string(position) + " numbers where the data need " + need, name);
  }
  // Every object on which the raters do not all agree gives one
  // disagreement per rater.
  if (!Near(disagreements, tb.R * (tb.Norg - agreements))) {
    return Refused("the disagreements add up to " + Shortest(disagreements) + " where R * (n - agreements) is " +
                       Shortest(tb.R * (tb.Norg - agreements)),
                   name);
  }
  return {};
}

}  // namespace zover
