#pragma once
// The program driver: the main loop with its data-entry menu and end prompt,
// the cover screen, the dimension prompts, the estimation driver and the
// model report.

#include "console/console.h"
#include "input/keyboard.h"
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

// The dialogue's analysis of a pass whose data entry has filled tb.data:
// the engine's analysis of the data, then its printed report.
void AnalysePass(Console& con, Tables& tb);

}  // namespace zover
