#pragma once
// The program driver: the main loop with its data-entry menu and end prompt,
// the cover screen, the dimension prompts, the estimation driver and the
// model report.

#include "console/console.h"
#include "input/input.h"
#include "driver/arguments.h"
#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// Exit statuses of the program.
constexpr int kExitNormal = 0;      // ended through the dialogue
constexpr int kExitInputEnded = 1;  // input ended inside a data entry
constexpr int kExitFailure = 1;     // the output could not be written, or
                                    // memory ran out

// Runs the whole program on the console; returns the exit status. Status 0
// means that every pass that started was analysed and printed, or refused
// with its message, and that the output was written.
int RunZover(Console& con);

// The cover screen, printed once before the first data-entry menu.
void Caratula(Console& con);

// Asks for K, R and n (keyboard modes 3 and 4). Keyboard frequencies (mode
// 3) also refuse K^R above 1000.
Dimensions Datos(Console& con, EntryMode mode);

// The analysis of a pass whose data entry has filled tb.data: the model
// with its report (FitModel, in tb.model), the raw agreement and the kappa
// coefficients (Kappas, in tb.kappa). Prints nothing.
PassResults Analyse(Tables& tb);

// The batch outputs' coefficients of observed data (modes 1 and 2): the
// tests of the kappas against chance and the coefficients that use every
// rating, the objects with missing ratings included, their intervals at
// res.level. After Analyse, or in its place when res.analysed is false.
void AddCoefficients(const Tables& tb, PassResults& res);

// The batch outputs' coefficients of ordered classes that `request` asks
// for: the weighted coefficients (Cohen's for two raters) and Krippendorff's
// alpha at each level. After AddCoefficients and once res.input is set.
void AddOrderedCoefficients(const Tables& tb, const OrderedRequest& request, PassResults& res);

// The dialogue's analysis of a pass: Analyse, then its printed results.
void AnalysePass(Console& con, Tables& tb);

}  // namespace zover
