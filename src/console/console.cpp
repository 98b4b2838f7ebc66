#include "console/console.h"

#include <cmath>
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
