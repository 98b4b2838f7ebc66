// The response tuples: the full list of indicematrix, and the occurring
// tuples, which must be that list filtered to the tuples that occur.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::Rows;
using testing::Occurring;
using testing::RowsOf;

TEST(IndicematrixTest, LastRaterVariesFastest) {
  EXPECT_EQ(RowsOf(indicematrix(2, 3)),
            (Rows{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}}));
  const Rows nine = RowsOf(indicematrix(3, 2));
  EXPECT_EQ(nine, (Rows{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}}));
  for (const int t : {0, 4, 8}) EXPECT_EQ(nine[t][0], nine[t][1]);  // the unanimous tuples
}

// Random rows of classes 1 .. K, with a frequency 0 .. 3 in column R, against
// a count over every tuple of indicematrix.
TEST(ObservedTuplesTest, AgreesWithCountingOverEveryTuple) {
  std::mt19937 random(20211);
  for (int trial = 0; trial < 40; ++trial) {
    Tables tb;
    tb.K = 2 + trial % 3;
    tb.R = 2 + trial % 4;
    const bool weighted = trial % 2 == 1;
    const std::size_t rows = 1 + random() % 30;
    SCOPED_TRACE(::testing::Message() << "K=" << tb.K << " R=" << tb.R << " rows=" << rows << " weighted=" << weighted);
    tb.data = Grid<int>(rows, tb.R + 1);
    for (std::size_t j = 0; j < rows; ++j) {
      for (int r = 0; r < tb.R; ++r) tb.data[j][r] = 1 + static_cast<int>(random() % tb.K);
      tb.data[j][tb.R] = static_cast<int>(random() % 4);
    }
    ObservedTuples(tb, rows, weighted);

    Rows expected;
    for (std::vector<int> tuple : RowsOf(indicematrix(tb.K, tb.R))) {
      int count = 0;
      for (std::size_t j = 0; j < rows; ++j) {
        bool match = true;
        for (int r = 0; r < tb.R; ++r) match = match && tb.data[j][r] == tuple[r] + 1;
        if (match) count += weighted ? tb.data[j][tb.R] : 1;
      }
      if (count == 0) continue;
      const bool unanimous = std::count(tuple.begin(), tuple.end(), tuple[0]) == tb.R;
      tuple.insert(tuple.end(), {count, unanimous ? 1 : 0});
      expected.push_back(tuple);
    }
    EXPECT_EQ(Occurring(tb), expected);
  }
}

// 1000^7 tuples: beyond 64 bits, and beyond what indicematrix lists; the
// order comes from the classes alone.
TEST(ObservedTuplesTest, OrdersTuplesBeyondSixtyFourBits) {
  Tables tb;
  tb.K = 1000;
  tb.R = 7;
  tb.data = Grid<int>(3, 7, 1);
  tb.data[0][0] = 1000;
  tb.data[1][6] = 2;
  ObservedTuples(tb, 3, false);
  EXPECT_EQ(Occurring(tb), (Rows{{0, 0, 0, 0, 0, 0, 0, 1, 1}, {0, 0, 0, 0, 0, 0, 1, 1, 0}, {999, 0, 0, 0, 0, 0, 0, 1, 0}}));
  EXPECT_THROW(indicematrix(1000, 7), std::length_error);
}

}  // namespace
}  // namespace zover
