#pragma once
// Data for the model tests: tables from given counts or from random raw
// responses.

#include <cstdint>
#include <random>
#include <vector>

#include "model/model.h"

namespace zover::testing {

inline ModelTables MakeModelTables(int K, int R, double n, const std::vector<double>& success,
                              const std::vector<std::vector<double>>& fail) {
  ModelTables tb(K, R);
  tb.N = n;
  for (int i = 0; i < K; ++i) {
    tb.success[i] = success[i];
    for (int r = 0; r < R; ++r) tb.fail[i][r] = fail[i][r];
  }
  return tb;
}

// The observed counts that FitModel takes, from model tables of given counts.
inline ObservedData CountsOf(const ModelTables& tb) {
  ObservedData data;
  data.K = tb.K;
  data.R = tb.R;
  data.Norg = tb.N;
  data.successaux.assign(tb.success.begin(), tb.success.begin() + tb.K);
  data.failaux = Grid<double>(tb.K, tb.R);
  for (int i = 0; i < tb.K; ++i)
    for (int r = 0; r < tb.R; ++r) data.failaux[i][r] = tb.fail[i][r];
  return data;
}

// Random responses of n objects: each object has a true class that each
// rater gives with a probability drawn per data set, otherwise a uniform
// class. success[i] counts the objects all raters put in i, fail[i][r] the
// others that rater r put in i. K, R and n are drawn from the seed between
// 2 (10 for n) and the maxima. Only mt19937_64 is used: the same data on
// every platform.
inline ModelTables RandomData(std::uint64_t seed, int maxK, int maxR, int maxN) {
  std::mt19937_64 rng(seed);
  auto draw = [&rng](int lo, int hi) {
    return lo + static_cast<int>(rng() % static_cast<std::uint64_t>(hi - lo + 1));
  };
  const int K = draw(2, maxK), R = draw(2, maxR), n = draw(10, maxN);
  const int accuracy = draw(0, 99);  // percent
  std::vector<double> success(K, 0.0);
  std::vector<std::vector<double>> fail(K, std::vector<double>(R, 0.0));
  std::vector<int> row(R);
  for (int o = 0; o < n; ++o) {
    const int truth = draw(0, K - 1);
    bool unanimous = true;
    for (int r = 0; r < R; ++r) {
      row[r] = draw(0, 99) < accuracy ? truth : draw(0, K - 1);
      unanimous = unanimous && row[r] == row[0];
    }
    if (unanimous)
      success[row[0]] += 1;
    else
      for (int r = 0; r < R; ++r) fail[row[r]][r] += 1;
  }
  return MakeModelTables(K, R, n, success, fail);
}

}  // namespace zover::testing
