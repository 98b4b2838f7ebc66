// The three kappa coefficients on small data sets whose values are worked
// out by hand (exact fractions), through the same readers and table builders
// as the program.

#include "kappa/kappa.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input/input.h"

namespace zover {
namespace {

// Tables of a raw responses file, with the marginal proportions the kappa
// coefficients read.
Tables FromResponses(const std::string& file) {
  Tables tb;
  tb.entrada = 1;
  StringSource in(file);
  const ReadOutcome read = ArchivoFrom(in, tb);
  EXPECT_TRUE(read.ok) << read.message;
  SizeWorkingTables(tb);
  TablaInicial(tb);
  TablaFleiss(tb);
  for (int i = 0; i < tb.K; ++i) {
    for (int r = 0; r < tb.R; ++r) {
      tb.t_indice[i][r] = tb.successaux[i] / tb.Norg + tb.failaux[i][r] / tb.Norg;
    }
  }
  return tb;
}

std::string Hubert(Tables tb) {
  std::ostringstream out;
  coefficientKappa(tb, out);
  return out.str();
}

std::string FleissAndH2(Tables tb) {
  std::ostringstream out;
  coefficientFleiss(tb, out);
  coefficientH2(tb, out);
  return out.str();
}

TEST(CoefficientKappaTest, WorkedExamples) {
  struct Case {
    const char* name;
    const char* file;
    const char* line;
  };
  const Case cases[] = {
      // P_o = 3/4, P_e = 1/2, kappa = 1/2; Var = 9/64, SE = 3/8.
      {"two raters", "1 1\n1 2\n2 2\n2 2\n", "\n\n Hubert's (Cohen's) kappa = 0.5000 \xC2\xB1 0.3750"},
      // P_o = 1/2, P_e = 3/16, kappa = 5/13; A = 0.166420, B = 0.095703,
      // D = -2/13, Var = 0.067784.
      {"three raters", "1 1 1\n1 1 2\n2 2 2\n1 2 2\n",
       "\n\n Hubert's kappa (DeMoivre or HR) = 0.3846 \xC2\xB1 0.2604"},
      // Every object unanimous: kappa = 1, Var = 0.
      {"all agree", "1 1 1\n2 2 2\n3 3 3\n2 2 2\n",
       "\n\n Hubert's kappa (DeMoivre or HR) = 1.0000 \xC2\xB1 0.0000"},
      // One class used by everyone: 1 - P_e = 0, kappa is not a number.
      {"one class", "2 2\n2 2\n", "\n\n Hubert's (Cohen's) kappa = NaN \xC2\xB1 NaN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = Hubert(FromResponses(c.file));
    EXPECT_EQ(line.substr(0, std::string(c.line).size()), c.line);
  }
}

TEST(CoefficientKappaTest, ModelDataGiveKappaWithoutStandardError) {
  Tables tb = FromResponses("1 1\n1 2\n2 2\n2 2\n");
  tb.entrada = 4;
  EXPECT_EQ(Hubert(tb), "\n\n Hubert's (Cohen's) kappa = 0.5000");
  Tables three = FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n");
  three.entrada = 4;
  EXPECT_EQ(Hubert(three), "\n\n Hubert's kappa (DeMoivre or HR) = 0.3846");
}

TEST(CoefficientFleissTest, WorkedExamplesWithH2) {
  struct Case {
    const char* name;
    const char* file;
    const char* lines;
  };
  const Case cases[] = {
      // sumaA = 28, P_e = 1/2, kappa_F = 1/3, Var = 1/9; S = 11/8, H2 = 5/13.
      {"three raters", "1 1 1\n1 1 2\n2 2 2\n1 2 2\n",
       "\n\n Fleiss' kappa = 0.3333 \xC2\xB1 0.3333"
       "\n\n Hubert's kappa (pairwise or H2) = 0.3846"},
      {"all agree", "1 1 1\n2 2 2\n3 3 3\n2 2 2\n",
       "\n\n Fleiss' kappa = 1.0000 \xC2\xB1 0.0000"
       "\n\n Hubert's kappa (pairwise or H2) = 1.0000"},
      {"one class", "2 2 2\n2 2 2\n",
       "\n\n Fleiss' kappa = NaN \xC2\xB1 NaN"
       "\n\n Hubert's kappa (pairwise or H2) = NaN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FleissAndH2(FromResponses(c.file)), c.lines);
  }
}

TEST(CoefficientFleissTest, LeavesSumaAAndResetsN) {
  Tables tb = FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n");
  tb.N = 99;
  std::ostringstream out;
  coefficientFleiss(tb, out);
  EXPECT_EQ(tb.sumaA, 28.0);
  EXPECT_EQ(tb.N, 4.0);
}

}  // namespace
}  // namespace zover
