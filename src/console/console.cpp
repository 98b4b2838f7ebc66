#include "console/console.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <streambuf>

namespace zover {

namespace {

bool IsLeadingBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

void CheckOutput(const Console& con) {
  if (!con.out) throw OutputFailed{};
}

}  // namespace

bool ReadLine(Console& con, std::string& line) {
  CheckOutput(con);
  if (con.interactive) {
    con.out.flush();
    CheckOutput(con);
  }
  line.clear();
  std::streambuf& in = *con.in.rdbuf();
  using Traits = std::streambuf::traits_type;
  int c = in.sgetc();
  if (c == Traits::eof()) {
    con.in.setstate(std::ios::eofbit);
    return false;
  }
  while (IsLeadingBlank(c)) c = in.snextc();
  while (c != Traits::eof() && c != '\n') {
    if (line.size() < kKeptAnswerBytes) line.push_back(Traits::to_char_type(c));
    c = in.snextc();
  }
  if (c == '\n') in.sbumpc();
  return true;
}

namespace {

// A sign and at most 15 digits, followed by nothing that strtod would read
// on (a digit, a decimal point, an exponent, the x of a hexadecimal number):
// the common answer, whose value is the integer itself, exactly as strtod
// gives it (below 2^53; "-0" is -0.0). Nothing for any other line.
std::optional<double> PlainWhole(const std::string& line) {
  const char* at = line.c_str();
  const bool negative = *at == '-';
  if (*at == '-' || *at == '+') ++at;
  const char* const digits = at;
  std::uint64_t value = 0;
  while (*at >= '0' && *at <= '9') value = value * 10 + static_cast<std::uint64_t>(*at++ - '0');
  if (at == digits || at - digits > 15) return std::nullopt;
  if (*at == '.' || *at == 'e' || *at == 'E' || *at == 'x' || *at == 'X') return std::nullopt;
  const auto x = static_cast<double>(value);
  return negative ? -x : x;
}

}  // namespace

std::optional<double> LeadingNumber(const std::string& line) {
  if (const auto whole = PlainWhole(line)) return whole;
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
