// The three kappa coefficients on small data sets whose values are worked
// out by hand (exact fractions), through the same readers and table builders
// as the program.

#include "console/format.h"
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
  tb.entrada = EntryMode::kRawFile;
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

// A coefficient as its line shows it: four decimals, then the standard
// error when there is one.
std::string Shown(const KappaEstimate& k) {
  return Fixed4(k.estimate) + (k.hasSe ? " \xC2\xB1 " + Fixed4(k.se) : "");
}

std::string Hubert(Tables tb) { return Shown(coefficientKappa(tb)); }

std::string FleissAndH2(Tables tb) {
  const std::string fleiss = Shown(coefficientFleiss(tb));
  return fleiss + "; " + Fixed4(coefficientH2(tb));
}

TEST(CoefficientKappaTest, WorkedExamples) {
  struct Case {
    const char* name;
    const char* file;
    const char* line;
  };
  const Case cases[] = {
      // P_o = 3/4, P_e = 1/2, kappa = 1/2; Var = 9/64, SE = 3/8.
      {"two raters", "1 1\n1 2\n2 2\n2 2\n", "0.5000 \xC2\xB1 0.3750"},
      // P_o = 1/2, P_e = 3/16, kappa = 5/13; A = 0.166420, B = 0.095703,
      // D = -2/13, Var = 0.067784.
      {"three raters", "1 1 1\n1 1 2\n2 2 2\n1 2 2\n", "0.3846 \xC2\xB1 0.2604"},
      // Every object unanimous: kappa = 1, Var = 0.
      {"all agree", "1 1 1\n2 2 2\n3 3 3\n2 2 2\n", "1.0000 \xC2\xB1 0.0000"},
      // One class used by everyone: 1 - P_e = 0, kappa is not a number.
      {"one class", "2 2\n2 2\n", "NaN \xC2\xB1 NaN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hubert(FromResponses(c.file)), c.line);
  }
}

TEST(CoefficientKappaTest, ModelDataGiveKappaWithoutStandardError) {
  Tables tb = FromResponses("1 1\n1 2\n2 2\n2 2\n");
  tb.entrada = EntryMode::kKeyboardModel;
  EXPECT_EQ(Hubert(tb), "0.5000");
  Tables three = FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n");
  three.entrada = EntryMode::kKeyboardModel;
  EXPECT_EQ(Hubert(three), "0.3846");
}

TEST(CoefficientFleissTest, WorkedExamplesWithH2) {
  struct Case {
    const char* name;
    const char* file;
    const char* lines;
  };
  const Case cases[] = {
      // sumaA = 28, P_e = 1/2, kappa_F = 1/3, Var = 1/9; S = 11/8, H2 = 5/13.
      {"three raters", "1 1 1\n1 1 2\n2 2 2\n1 2 2\n", "0.3333 \xC2\xB1 0.3333; 0.3846"},
      {"all agree", "1 1 1\n2 2 2\n3 3 3\n2 2 2\n", "1.0000 \xC2\xB1 0.0000; 1.0000"},
      {"one class", "2 2 2\n2 2 2\n", "NaN \xC2\xB1 NaN; NaN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FleissAndH2(FromResponses(c.file)), c.lines);
  }
}

TEST(CoefficientFleissTest, LeavesSumaAAndResetsN) {
  Tables tb = FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n");
  tb.N = 99;
  coefficientFleiss(tb);
  EXPECT_EQ(tb.sumaA, 28.0);
  EXPECT_EQ(tb.N, 4.0);
}

}  // namespace
}  // namespace zover
