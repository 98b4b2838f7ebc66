// Binomial variates for the bootstrap (see random.h).

#include "kappa/random.h"

#include <algorithm>
#include <cmath>

namespace zover {

namespace {

// The tail of Stirling's series, fc(k) = ln k! - ((k + 1/2) ln(k + 1) -
// (k + 1) + ln sqrt(2 pi)): from a table below 10, else from the series.
double StirlingTail(double k) {
  static const double kSmall[10] = {0.08106146679532726, 0.04134069595540929, 0.02767792568499834,
                                    0.02079067210376509, 0.01664469118982119, 0.01387612882307075,
                                    0.01189670994589177, 0.01041126526197209, 0.009255462182712733,
                                    0.008330563433362871};
  if (k < 10) return kSmall[static_cast<int>(k)];
  const double k1 = k + 1;
  const double square = k1 * k1;
  return (1.0 / 12 - (1.0 / 360 - 1.0 / 1260 / square) / square) / k1;
}

// Inversion for n p < 10, p <= 1/2: walks the distribution function from 0,
// each probability from the one before, P(x) = P(x - 1) ((n + 1) s / x - s)
// with s = p / q. A walk that passes n p + 10 sd (where rounding could keep
// it going) starts over with a new uniform.
double Inversion(SplitMix64& random, double n, double p) {
  const double q = 1 - p;
  const double s = p / q;
  const double a = (n + 1) * s;
  const double bound = std::min(n, n * p + 10 * std::sqrt(n * p * q + 1));
  const double first = std::pow(q, n);
  while (true) {
    double u = random.Uniform();
    double probability = first;
    double x = 0;
    while (u > probability && x <= bound) {
      u -= probability;
      x += 1;
      probability *= a / x - s;
    }
    if (x <= bound) return x;
  }
}

// BTRD (Hormann 1993, "The generation of binomial random variates", J.
// Statist. Comput. Simul. 46) for n p >= 10, p <= 1/2: a transformed
// rejection from a hat that covers the distribution around its mode m, with
// the squeezes and the final test of the paper's steps 1 to 3.3.
double Btrd(SplitMix64& random, double n, double p) {
  const double q = 1 - p;
  const double m = std::floor((n + 1) * p);
  const double r = p / q;
  const double nr = (n + 1) * r;
  const double npq = n * p * q;
  const double sq = std::sqrt(npq);
  const double b = 1.15 + 2.53 * sq;
  const double a = -0.0873 + 0.0248 * b + 0.01 * p;
  const double c = n * p + 0.5;
  const double alpha = (2.83 + 5.1 / b) * sq;
  const double vr = 0.92 - 4.2 / b;
  const double urvr = 0.86 * vr;
  while (true) {
    double v = random.Uniform();
    double u;
    if (v <= urvr) {  // 1: immediate acceptance in the hat's centre
      u = v / vr - 0.43;
      return std::floor((2 * a / (0.5 - std::fabs(u)) + b) * u + c);
    }
    if (v >= vr) {  // 2: a new u, or one from the rest of v
      u = random.Uniform() - 0.5;
    } else {
      u = v / vr - 0.93;
      u = (u < 0 ? -0.5 : 0.5) - u;
      v = random.Uniform() * vr;
    }
    const double us = 0.5 - std::fabs(u);  // 3.0: the candidate k
    const double k = std::floor((2 * a / us + b) * u + c);
    if (k < 0 || k > n) continue;
    v = v * alpha / (a / (us * us) + b);
    const double km = std::fabs(k - m);
    if (km <= 15) {  // 3.1: f(k) / f(m) from the ratios of neighbours
      double f = 1;
      if (m < k) {
        for (double i = m + 1; i <= k; ++i) f *= nr / i - r;
      } else {
        for (double i = k + 1; i <= m; ++i) v *= nr / i - r;
      }
      if (v <= f) return k;
      continue;
    }
    v = std::log(v);  // 3.2: squeeze with the normal approximation
    const double rho = (km / npq) * (((km / 3 + 0.625) * km + 1.0 / 6) / npq + 0.5);
    const double t = -km * km / (2 * npq);
    if (v < t - rho) return k;
    if (v > t + rho) continue;
    const double nm = n - m + 1;  // 3.3: the final test, with Stirling's series
    const double h = (m + 0.5) * std::log((m + 1) / (r * nm)) + StirlingTail(m) + StirlingTail(n - m);
    const double nk = n - k + 1;
    if (v <= h + (n + 1) * std::log(nm / nk) + (k + 0.5) * std::log(nk * r / (k + 1)) - StirlingTail(k) -
                  StirlingTail(n - k)) {
      return k;
    }
  }
}

}  // namespace

double Binomial(SplitMix64& random, double trials, double p) {
  if (!(trials >= 1) || !(p > 0)) return 0;
  if (p >= 1) return trials;
  if (p > 0.5) return trials - Binomial(random, trials, 1 - p);
  if (trials * p < 10) return Inversion(random, trials, p);
  return Btrd(random, trials, p);
}

}  // namespace zover
