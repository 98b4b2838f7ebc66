// The class tables of the three observed-data modes: the worked examples,
// and the same random data given as a raw file, a frequencies file and typed
// frequencies, which must build the same tables and keep their invariants.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::ReadFile;
using testing::Rows;
using testing::Occurring;
using testing::RowsOf;
using testing::TypeFrequencies;

// The model input of classes 0 .. K-1: agreements, then [class][rater]
// disagreements.
std::vector<double> Agreements(const ObservedData& tb) { return {tb.successaux.begin(), tb.successaux.begin() + tb.K}; }
Rows Disagreements(const ObservedData& tb) { return RowsOf(tb.failaux, tb.K, tb.R); }
TEST(TablaInicialTest, WorkedExamples) {
  struct Case {
    const char* name;
    ObservedData tb;
    void (*build)(ObservedData&);
    std::vector<double> ac;
    Rows clases, fail, tuples;  // [class][rater], [class][rater], occurring tuples
  };
  Case cases[] = {
      // Tuples 00, 01, 10, 11 occur 1, 1, 0 and 2 times; the objects
      // themselves are not kept, their unanimous marks are the tuples'.
      {"raw file", ReadFile(1, "1 1\n1 2\n2 2\n2 2\n"), TablaInicial, {1, 2}, {{2, 1}, {2, 3}}, {{1, 0}, {0, 1}},
       {{0, 0, 1, 1}, {0, 1, 1, 0}, {1, 1, 2, 1}}},
      // Row (2,1) of frequency 0 gives no tuple.
      {"frequencies file", ReadFile(2, "1 1 3\n2 1 0\n1 2 2\n"), TablaInicialExtra, {3, 0}, {{5, 3}, {0, 2}},
       {{2, 0}, {0, 2}}, {{0, 0, 3, 1}, {0, 1, 2, 0}}},
      // (1,1) 4, (1,2) 1, (2,1) 2, (2,2) 3.
      {"keyboard R=2", TypeFrequencies(2, 2, 10, "4\n1\n2\n3\n"), TablaInicial, {4, 3}, {{5, 6}, {5, 4}},
       {{1, 2}, {2, 1}}, {{0, 0, 4, 1}, {0, 1, 1, 0}, {1, 0, 2, 0}, {1, 1, 3, 1}}},
      // 1 .. 8 typed for (1,1,1), (1,2,1), (1,1,2), (1,2,2), (2,1,1), (2,2,1),
      // (2,1,2), (2,2,2): the agreements are the first and the last.
      {"keyboard R=3", TypeFrequencies(2, 3, 36, "1\n2\n3\n4\n5\n6\n7\n8\n"), TablaInicial, {1, 8},
       {{10, 16, 14}, {26, 20, 22}}, {{9, 15, 13}, {18, 12, 14}},
       {{0, 0, 0, 1, 1}, {0, 1, 0, 2, 0}, {0, 0, 1, 3, 0}, {0, 1, 1, 4, 0},
        {1, 0, 0, 5, 0}, {1, 1, 0, 6, 0}, {1, 0, 1, 7, 0}, {1, 1, 1, 8, 1}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.build(c.tb);
    EXPECT_EQ(std::vector<double>(c.tb.ac.begin(), c.tb.ac.begin() + c.tb.K), c.ac);
    EXPECT_EQ(Agreements(c.tb), c.ac);
    EXPECT_EQ(RowsOf(c.tb.clases, c.tb.K, c.tb.R), c.clases);
    EXPECT_EQ(Disagreements(c.tb), c.fail);
    EXPECT_EQ(Occurring(c.tb), c.tuples);
  }
}

TEST(ObservedTablesAcrossModesTest, SameDataSameTables) {
  std::mt19937 random(2021);
  for (int trial = 0; trial < 30; ++trial) {
    const testing::RandomData d = testing::MakeRandomData(random);
    SCOPED_TRACE(d.raw);
    ObservedData raw = ReadFile(1, d.raw);
    TablaInicial(raw);
    TablaFleiss(raw);
    ObservedData freq = ReadFile(2, d.freq);
    TablaInicialExtra(freq);
    TablaFleissExtra(freq);
    ObservedData typed = TypeFrequencies(d.K, d.R, d.n, d.typed);
    TablaInicial(typed);
    TablaFleiss(typed);

    // Each rater's class counts add up to n, disagreements are not negative
    // and add up to R (n - agreements), ratings (q + 1) datafleiss[i][q] add
    // up to n R.
    double agreements = 0, disagreements = 0, ratings = 0;
    for (int i = 0; i < d.K; ++i) {
      agreements += raw.ac[i];
      for (int r = 0; r < d.R; ++r) {
        disagreements += raw.failaux[i][r];
        ratings += (r + 1) * raw.datafleiss[i][r];
        EXPECT_GE(raw.failaux[i][r], 0.0);
      }
    }
    for (int r = 0; r < d.R; ++r) {
      int objects = 0;
      for (int i = 0; i < d.K; ++i) objects += raw.clases[i][r];
      EXPECT_EQ(objects, d.n);
    }
    EXPECT_EQ(disagreements, d.R * (d.n - agreements));
    EXPECT_EQ(ratings, d.n * d.R);
    EXPECT_EQ(freq.Norg, d.n);
    for (const ObservedData* other : {&freq, &typed}) {
      EXPECT_EQ(Agreements(*other), Agreements(raw));
      EXPECT_EQ(Disagreements(*other), Disagreements(raw));
      EXPECT_EQ(RowsOf(other->datafleiss, d.K, d.R), RowsOf(raw.datafleiss, d.K, d.R));
    }
    EXPECT_EQ(Occurring(freq), Occurring(raw));
    // The typed tuples come in the order they were asked for.
    Rows typedTuples = Occurring(typed);
    std::sort(typedTuples.begin(), typedTuples.end());
    EXPECT_EQ(typedTuples, Occurring(raw));
  }
}

}  // namespace
}  // namespace zover
