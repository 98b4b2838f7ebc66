// The kappa sums that are taken in another order than the plain loops over
// objects and rater pairs: the leave-one-rater-out products of Hubert's
// standard error, H2's pair sums and Fleiss' variance as a weighted sum over
// tuples. On random data they agree with the plain loops (kept here) to
// 1e-13 relative.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "input/input_fixtures.h"
#include "input/reference_tables.h"
#include "kappa/kappa.h"

namespace zover {
namespace {

constexpr double kRelative = 1e-13;

// Hubert's standard error with factorE as the product over the other
// raters, rater by rater.
double PlainHubertSe(const ObservedData& tb, const Grid<double>& t_indice, double kappa) {
  Grid<double> factor(tb.K, tb.R);
  double pe = 0;
  for (int i = 0; i < tb.K; ++i) {
    double all = 1.0;
    for (int r = 0; r < tb.R; ++r) all *= t_indice[i][r];
    pe += all;
    for (int j = 0; j < tb.R; ++j) {
      factor[i][j] = 1.0;
      for (int k = 0; k < tb.R; ++k) {
        if (k != j) factor[i][j] *= t_indice[i][k];
      }
    }
  }
  double a = 0, b = 0;
  for (int i = 0; i < tb.K; ++i) {
    double s = 0;
    for (int j = 0; j < tb.R; ++j) s += factor[i][j];
    a += tb.successaux[i] * ((1 - (1 - kappa) * s) * (1 - (1 - kappa) * s)) / tb.Norg;
  }
  for (const auto& tuple : testing::Occurring(tb)) {
    if (tuple[tb.R + 1] > 0) continue;
    double sum = 0;
    for (int j = 0; j < tb.R; ++j) sum += factor[tuple[j]][j];
    b += tuple[tb.R] * (sum * sum) / tb.Norg;
  }
  const double d = (tb.R - 1) * (1 - kappa) * pe - kappa;
  return std::sqrt((a + (1 - kappa) * (1 - kappa) * b - d * d) / (tb.Norg * (1 - pe) * (1 - pe)));
}

// H2 with every pair of raters once.
double PlainH2(const ObservedData& tb, const Grid<double>& t_indice, double sumaA) {
  double s = 0;
  for (int i = 0; i < tb.K; ++i) {
    for (int j = 0; j < tb.R - 1; ++j) {
      for (int k = j + 1; k < tb.R; ++k) s += t_indice[i][j] * t_indice[i][k];
    }
  }
  return 1 - (tb.R * tb.R - sumaA / tb.Norg) / (tb.R * (tb.R - 1) - 2 * s);
}

// Fleiss' standard error summed over the objects in file order.
double PlainFleissSe(const ObservedData& tb, double sumaA, const testing::Rows& objects) {
  const int R = tb.R;
  const double n = tb.Norg;
  double totals = 0;
  for (int i = 0; i < tb.K; ++i) {
    double total = 0;
    for (int q = 0; q < R; ++q) total += (q + 1.0) * tb.datafleiss[i][q];
    totals += total * total;
  }
  const double pe = totals / (static_cast<double>(R * R) * (n * n));
  const double mean = sumaA / (R * n * (R - 1)) - 1.0 / (R - 1);
  double v = 0;
  for (const auto& object : objects) {
    double q = 0, m = 0;
    for (int i = 0; i < tb.K; ++i) {
      const int count = static_cast<int>(std::count(object.begin(), object.end(), i + 1));
      double ratings = 0;
      for (int r = 0; r < R; ++r) ratings += tb.failaux[i][r];
      q += count * count;
      m += count * (R * tb.successaux[i] + ratings);
    }
    const double u = (1 - pe) * ((q - R) / (R * (R - 1))) - 2 * (1 - mean) * (m / (R * n * R)) - (mean * pe - 2 * pe + mean);
    v += u * u;
  }
  return std::sqrt(v / (std::pow(1 - pe, 4) * n * n));
}

TEST(ReorderedSumsTest, AgreeWithThePlainLoops) {
  struct Shape {
    int K, R, n;
  };
  const Shape shapes[] = {{2, 3, 20}, {3, 5, 60}, {5, 10, 500}, {4, 40, 100}, {30, 3, 400}, {8, 60, 50}};
  std::mt19937 random(13);
  for (const Shape& s : shapes) {
    for (int set = 0; set < 10; ++set) {
      SCOPED_TRACE(::testing::Message() << "K=" << s.K << " R=" << s.R << " n=" << s.n << " set " << set);
      std::string file;
      for (int j = 0; j < s.n; ++j) {
        const int truth = 1 + static_cast<int>(random() % s.K);
        for (int r = 0; r < s.R; ++r) {
          const int c = j == 0 && r == 0 ? s.K : random() % 3 ? truth : 1 + static_cast<int>(random() % s.K);
          file += std::to_string(c) + (r + 1 < s.R ? " " : "\n");
        }
      }
      ObservedData tb = testing::ReadFile(1, file);
      TablaInicial(tb);
      TablaFleiss(tb);
      const Grid<double> t_indice = MarginalProportions(tb);
      const KappaEstimate hubert = coefficientKappa(tb, t_indice).kappa;
      const FleissKappa fleiss = coefficientFleiss(tb);
      const struct {
        const char* name;
        double value, plain;
      } values[] = {
          {"Hubert's SE", hubert.se, PlainHubertSe(tb, t_indice, hubert.estimate)},
          {"Fleiss' SE", fleiss.kappa.se, PlainFleissSe(tb, fleiss.sumaA, testing::ReferenceObjects(file))},
          {"H2", coefficientH2(tb, t_indice, fleiss.sumaA), PlainH2(tb, t_indice, fleiss.sumaA)},
      };
      for (const auto& v : values) {
        SCOPED_TRACE(v.name);
        EXPECT_LE(std::fabs(v.value - v.plain), kRelative * std::fabs(v.plain));
      }
    }
  }
}

}  // namespace
}  // namespace zover
