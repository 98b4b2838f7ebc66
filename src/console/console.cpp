#include "console/console.h"

#include <cmath>
#include <cstdlib>
#include <istream>

namespace zover {

bool ReadLine(Console& con, std::string& line) {
  return static_cast<bool>(std::getline(con.in, line));
}

std::optional<double> LeadingNumber(const std::string& line) {
  const char* start = line.c_str();
  char* end = nullptr;
  const double x = std::strtod(start, &end);
  if (end == start || !std::isfinite(x)) return std::nullopt;
  return x;
}

std::optional<double> ReadNumberAnswer(Console& con) {
  std::string line;
  if (!ReadLine(con, line)) throw InputEnded{};
  std::optional<double> x = LeadingNumber(line);
  con.discardPending();
  return x;
}

bool IsWhole(double x) { return x - std::floor(x) == 0.0; }

}  // namespace zover
