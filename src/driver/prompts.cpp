// The dimension prompts of the keyboard modes: K, R and n.

#include <cmath>

#include "driver/driver.h"
#include "console/format.h"
#include "tables/limits.h"

namespace zover {

namespace {

// Limits of a dimension and the messages for values beyond them.
struct Bounds {
  double minimum;         // the floor of the answer must be at least this
  const char* tooSmall;
  double maximum;         // and at most this
  const char* tooLarge;
};

// Asks one dimension until its answer is a whole number within the bounds.
// The bounds are tested on the floor of the answer as a double, before any
// conversion, so a huge value is simply too large. A line without a number
// and a fractional number within the bounds are asked again silently.
double AskDimension(Console& con, const char* prompt, const Bounds& bounds) {
  while (true) {
    Print(con.out, prompt);
    const std::optional<double> x = ReadNumberAnswer(con);
    if (!x) continue;
    const double value = std::floor(*x);
    if (value < bounds.minimum) {
      Print(con.out, bounds.tooSmall);
      continue;
    }
    if (value > bounds.maximum) {
      Print(con.out, bounds.tooLarge);
      continue;
    }
    if (IsWhole(*x)) return value;
  }
}

const Bounds kClasses{2.0, "\nMust be K>1", kMaxClasses, "\nMust be K<=1000"};
const Bounds kRaters{2.0, "\nMust be R>1", kMaxRaters, "\nMust be R<=1000"};
const Bounds kObjects{2.0, "\nMust be N>1", static_cast<double>(kMaxObjects), "\nMust be N<=1000000000"};

// Mode 3 asks one frequency per response tuple, so K^R is kept small.
constexpr double kMaxKeyboardTuples = 1000.0;

}  // namespace

Dimensions Datos(Console& con, EntryMode mode) {
  Dimensions dims;
  while (true) {
    dims.K = static_cast<int>(AskDimension(con, "\n\n K (number of classes) (>1) = ", kClasses));
    dims.R = static_cast<int>(AskDimension(con, "\n\n R (number of viewers) (>1) = ", kRaters));
    if (mode == EntryMode::kKeyboardFrequencies && std::pow(dims.K, dims.R) > kMaxKeyboardTuples) {
      Print(con.out, "\nMust be K^R<=1000");
      continue;
    }
    break;
  }
  dims.n = AskDimension(con, "\n\n n (number of objects) (>1) = ", kObjects);
  return dims;
}

}  // namespace zover
