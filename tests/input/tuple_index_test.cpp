// The full list of response tuples that the tests count against.

#include <gtest/gtest.h>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::indicematrix;
using testing::Rows;
using testing::RowsOf;

TEST(IndicematrixTest, LastRaterVariesFastest) {
  EXPECT_EQ(RowsOf(indicematrix(2, 3)),
            (Rows{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}}));
  const Rows nine = RowsOf(indicematrix(3, 2));
  EXPECT_EQ(nine, (Rows{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}}));
  for (const int t : {0, 4, 8}) EXPECT_EQ(nine[t][0], nine[t][1]);  // the unanimous tuples
}

}  // namespace
}  // namespace zover
