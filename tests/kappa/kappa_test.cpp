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

// The observed data of a raw responses file.
ObservedData FromResponses(const std::string& file) {
  ObservedData tb;
  StringSource in(file);
  const ReadOutcome read = ArchivoFrom(in, tb);
  EXPECT_TRUE(read.ok) << read.message;
  BuildTupleTables(tb);
  return tb;
}

// A coefficient as its line shows it: four decimals, then the standard
// error when there is one.
std::string Shown(const KappaEstimate& k) {
  return Fixed4(k.estimate) + (k.hasSe ? " \xC2\xB1 " + Fixed4(k.se) : "");
}

std::string Hubert(const ObservedData& tb) { return Shown(coefficientKappa(tb, MarginalProportions(tb)).kappa); }

std::string FleissAndH2(const ObservedData& tb) {
  const FleissKappa fleiss = coefficientFleiss(tb);
  return Shown(fleiss.kappa) + "; " + Fixed4(coefficientH2(tb, MarginalProportions(tb), fleiss.sumaA));
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
  ObservedData tb = FromResponses("1 1\n1 2\n2 2\n2 2\n");
  tb.entrada = EntryMode::kKeyboardModel;
  EXPECT_EQ(Hubert(tb), "0.5000");
  ObservedData three = FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n");
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

// The kappas of a pass keep their tables: t_indice, factorE and the sumaA
// that H2 takes from Fleiss' kappa.
TEST(KappasTest, KeepTheirTables) {
  KappaTables tables;
  const KappaResults k = Kappas(FromResponses("1 1 1\n1 1 2\n2 2 2\n1 2 2\n"), tables);
  EXPECT_EQ(tables.sumaA, 28.0);
  EXPECT_EQ(tables.t_indice[0][2], 0.25);
  EXPECT_EQ(tables.factorE[0][0], 0.5 * 0.25);
  EXPECT_EQ(Fixed4(k.h2), "0.3846");
}

}  // namespace
}  // namespace zover
