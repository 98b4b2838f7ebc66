// The object-by-class table of Fleiss' kappa on the worked examples of the
// three observed-data modes (its invariants on random data are checked with
// the class tables).

#include <gtest/gtest.h>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::ReadFile;
using testing::Rows;
using testing::RowsOf;

TEST(TablaFleissTest, WorkedExamples) {
  struct Case {
    const char* name;
    ObservedData tb;
    void (*build)(ObservedData&);
    Rows datafleiss;  // [class][raters - 1]
  };
  Case cases[] = {
      {"raw file", ReadFile(1, "1 1\n1 2\n2 2\n2 2\n"), TablaFleiss, {{1, 1}, {1, 2}}},
      // A row of frequency 0 counts nowhere.
      {"frequencies file", ReadFile(2, "1 1 3\n1 2 2\n2 2 0\n"), TablaFleissExtra, {{2, 3}, {2, 0}}},
      // (1,1) 4, (1,2) 1, (2,1) 0, (2,2) 3.
      {"keyboard", testing::TypeFrequencies(2, 2, 8, "4\n1\n0\n3\n"), TablaFleiss, {{1, 4}, {1, 3}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.build(c.tb);
    EXPECT_EQ(RowsOf(c.tb.datafleiss, c.tb.K, c.tb.R), c.datafleiss);
  }
}

}  // namespace
}  // namespace zover
