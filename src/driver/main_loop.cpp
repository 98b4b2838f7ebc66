// The main loop: cover screen, then passes of data-entry menu, data entry,
// analysis and end prompt until the user ends the program.

#include <cmath>
#include <new>
#include <ostream>
#include <string>
#include <utility>

#include "driver/driver.h"
#include "analysis/analysis.h"
#include "console/format.h"
#include "input/keyboard.h"
#include "output/report.h"

namespace zover {

namespace {

const char* const kChoiceError = "\nERROR in the choice. Please re-select one of the options";

void ShowMenu(Console& con) {
  Print(con.out, "\n\n DATA ENTRY: 1 = OBSERVED DATA (without frequencies) - %cZover_data.txt%c file",
        {kQuote, kQuote});
  Print(con.out, "\n             2 = OBSERVED DATA (with frequencies) - %cZover_data_freq.txt%c file",
        {kQuote, kQuote});
  Print(con.out, "\n             3 = OBSERVED DATA (with frequencies), 4 = DATA FOR ZOVER: ");
}

void ShowEndPrompt(Console& con) { Print(con.out, "\n\n\n 0-END    1-Change DATA ENTRY :  "); }

// Shows a choice prompt until a whole number from `low` to `high` is typed.
// Any other answer, a line without a number included, prints the error text.
// Nothing when the input has ended.
std::optional<int> AskChoice(Console& con, void (*show)(Console&), int low, int high) {
  while (true) {
    show(con);
    std::string line;
    if (!ReadLine(con, line)) return std::nullopt;
    const std::optional<double> x = LeadingNumber(line);
    const bool valid = x && std::floor(*x) >= low && std::floor(*x) <= high && IsWhole(*x);
    if (!valid) Print(con.out, kChoiceError);
    con.discardPending();
    if (valid) return static_cast<int>(*x);
  }
}

// Prints a data file's refusal; the pass then starts again at the menu.
bool Refused(Console& con, const ReadOutcome& outcome) {
  if (outcome.ok) return false;
  con.out << outcome.message;
  return true;
}

// Fills the observed data by the data entry of the chosen mode. False when
// a data file was refused: nothing is analysed and the menu is shown again.
//
// The observed data of modes 1 to 3 are the counts of the response tuples
// that occur; no table of all K^R tuples is built in a pass.
bool EnterData(Console& con, EntryMode mode, ObservedData& data) {
  switch (mode) {
    case EntryMode::kRawFile:
      if (Refused(con, Archivo(con, data))) return false;
      break;
    case EntryMode::kFrequencyFile:
      if (Refused(con, ArchivoExtra(con, data))) return false;
      break;
    case EntryMode::kKeyboardFrequencies:
      DatosEx(con, Datos(con, mode), data);
      break;
    case EntryMode::kKeyboardModel:
      Matrix(con, Datos(con, mode), data);
      return true;
  }
  BuildTupleTables(data);
  return true;
}

// What the program writes when the input ends at the menu or the end prompt.
int EndOfDialogue(Console& con) {
  Print(con.out, "\n");
  return kExitNormal;
}

}  // namespace

void AnalysePass(Console& con, Tables& tb) {
  Request request;
  request.coefficients = false;
  const Results results = Analyse(EnteredData(std::move(tb.data)), request);
  Print(con.out, "\n\n");
  Print(con.out, "\n");
  PrintAnalysis(results, con.out);
}

namespace {

// The dialogue itself: cover, then passes until the user ends the program or
// the input ends.
int Dialogue(Console& con) {
  Caratula(con);
  while (true) {
    Tables tb;  // every pass starts from fresh tables
    const std::optional<int> mode = AskChoice(con, ShowMenu, 1, 4);
    if (!mode) return EndOfDialogue(con);
    if (!EnterData(con, static_cast<EntryMode>(*mode), tb.data)) continue;
    AnalysePass(con, tb);

    con.discardPending();
    const std::optional<int> end = AskChoice(con, ShowEndPrompt, 0, 1);
    if (!end) return EndOfDialogue(con);
    if (*end == 0) {
      Print(con.out, "\n\n END OF THE PROGRAM \n\n");
      Print(con.out, "\n");
      if (!con.out.flush()) throw OutputFailed{};
      con.pause(3000);
      return kExitNormal;
    }
  }
}

}  // namespace

int RunZover(Console& con) {
  int status = kExitNormal;
  try {
    status = Dialogue(con);
  } catch (const InputEnded&) {
    Print(con.out, "\n\n ERROR: the input ended before the data entry was complete.\n");
    status = kExitInputEnded;
  } catch (const OutputFailed&) {
    return kExitFailure;
  } catch (const std::bad_alloc&) {
    Print(con.out, "\n\n ERROR: not enough memory for these data.\n");
    status = kExitFailure;
  }
  if (!con.out.flush()) return kExitFailure;
  return status;
}

}  // namespace zover
