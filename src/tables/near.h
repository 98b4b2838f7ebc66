#pragma once
// The program's one near-equality test. A squared quantity q, computed in
// double precision, is "below tolerance" when q < 1e-24 with the constant
// held in extended precision; for q = (x - y)^2 that is |x - y| < 1e-12.
// Which report is printed, and where the searches stop, hang on this exact
// comparison, so every caller goes through these two functions.

namespace zover {

inline bool BelowTolerance(double square) {
  return static_cast<long double>(square) < 1e-24L;
}

// x and y count as equal: (x - y)^2 below tolerance.
inline bool Near(double x, double y) {
  const double d = x - y;
  return BelowTolerance(d * d);
}

}  // namespace zover
