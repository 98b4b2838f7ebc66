// The analysis of a pass, run through whole in-process sessions: which lines
// and which report each kind of data gives.

#include <gtest/gtest.h>

#include <string>

#include "support/session.h"

namespace zover {
namespace {

using testing::Count;
using testing::RunSession;

// Mode 4 answers: K, R, n, then per class its agreements and the
// disagreements of every rater.
const char* const kSixtyObjects = "4\n3\n3\n60\n8\n9\n11\n15\n9\n14\n12\n7\n8\n12\n12\n13\n";

TEST(AnalysePassTest, SixtyObjectsGiveTheFittedMeasures) {
  const auto run = RunSession(kSixtyObjects);
  const std::string& out = run.output;
  EXPECT_NE(out.find("\n\n Raw = 0.4167 and n = 60"), std::string::npos);
  EXPECT_NE(out.find("\n\n Hubert's kappa (DeMoivre or HR) = "), std::string::npos);
  // Only observed responses give Fleiss' kappa and H2.
  EXPECT_EQ(Count(out, "Fleiss' kappa"), 0);
  EXPECT_EQ(Count(out, "H2"), 0);
  // Regular report: the measures of the fit, B = 0.653859.
  for (const char* cell : {"\n   1    0.3375 \xC2\xB1 ", "  0.1106 \xC2\xB1 ", "   0.2641  ",
                           "   0.3151  ", "   0.4171  ", "\n   2    0.3991 \xC2\xB1 ",
                           "  0.1330 \xC2\xB1 ", "\n   3    0.3024 \xC2\xB1 ", "  0.1025 \xC2\xB1 ",
                           "   0.3531  ", "   0.3786  ",
                           "\n Overall degree of agreement: Zover = 0.3461 \xC2\xB1 "}) {
    SCOPED_TRACE(cell);
    EXPECT_NE(out.find(cell), std::string::npos);
  }
  EXPECT_EQ(Count(out, "The SE values cannot be estimated"), 0);
}

TEST(AnalysePassTest, RawAgreementCountsWholeObjectsOnly) {
  // Agreements 2.5 and 3.5 of 10 objects: the count is 2, then 5.
  const auto run = RunSession("4\n2\n3\n10\n2.5\n2\n2\n2\n3.5\n2\n2\n2\n");
  EXPECT_NE(run.output.find("\n\n Raw = 0.5000 and n = 10"), std::string::npos);
}

TEST(AnalysePassTest, ReportVariantFollowsTheFit) {
  struct Case {
    const char* name;
    const char* answers;
    const char* marker;
  };
  const Case cases[] = {
      {"two raters and two classes", "4\n2\n2\n10\n3\n2\n1\n4\n1\n2\n",
       "Final agreement measures in the original case of R=K=2."},
      {"no disagreements", "4\n3\n3\n30\n10\n0\n0\n0\n10\n0\n0\n0\n10\n0\n0\n0\n",
       "estimated probabilities pi\nare indeterminate."},
      {"agreement of one class minus infinity", "4\n3\n2\n40\n6\n4\n3\n15\n9\n6\n4\n2\n6\n",
       "the presence of agreement is equal to -infinity."},
      {"infinitely many solutions", "4\n3\n2\n20\n5\n2\n2\n5\n2\n2\n6\n0\n0\n",
       "The problem has infinite solutions. The results"},
      {"a chance probability of zero", "4\n3\n3\n60\n8\n0\n11\n15\n9\n14\n12\n7\n8\n21\n12\n13\n",
       "some of estimated probabilities pi are\n0."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = RunSession(c.answers);
    EXPECT_EQ(Count(run.output, c.marker), 1);
    EXPECT_EQ(run.status, 0);
  }
}

TEST(AnalysePassTest, SecondPassAfterTwoByTwoStartsFromItsOwnData) {
  const std::string twoByTwo = "4\n2\n2\n10\n3\n2\n1\n4\n1\n2\n";
  const auto both = RunSession(twoByTwo + "1\n" + kSixtyObjects);
  const auto alone = RunSession(kSixtyObjects);
  // The second pass prints exactly what the same data print in a first pass.
  const std::string tail = alone.output.substr(alone.output.find("\n\n\n Data for ALFA"));
  EXPECT_EQ(both.output.substr(both.output.size() - tail.size()), tail);
}

TEST(AnalysePassTest, TwoRatersGiveFleissButNotH2) {
  const auto run = RunSession("1\n", {{"Zover_data.txt", "1 1\n1 2\n2 3\n3 3\n1 1\n2 2\n"}});
  EXPECT_EQ(Count(run.output, "\n\n Hubert's (Cohen's) kappa = "), 1);
  EXPECT_EQ(Count(run.output, "\n\n Fleiss' kappa = "), 1);
  EXPECT_EQ(Count(run.output, "H2"), 0);
}

}  // namespace
}  // namespace zover
