#include <ostream>

#include "driver/driver.h"
#include "console/format.h"
#include "tables/version.h"

namespace zover {

void Caratula(Console& con) {
  std::ostream& out = con.out;
  // Authors and notices.
  Print(out, "\n ZOVER - MULTI-RATER NOMINAL AGREEMENT");
  Print(out, "\n Written and maintained by the contributors of the Zover project.");
  Print(out, "\n Copyright (C) 2021-2026 the Zover project contributors. MIT License:");
  Print(out, "\n permission is granted to copy and distribute this program, unchanged");
  Print(out, "\n or changed, provided that this notice is kept with every copy.");

  Print(out, "\n\n \t\t\tABOUT  MULTI-RATER ZOVER (2021)  - Version %s         ", {Version()});
  Print(out, "\n\nThe program provides the measures of nominal (K class) degree of agreement");
  Print(out, "\namong many raters (R) based on Multi-rater Zover model (coefficients and SE).");
  Print(out, "\nAdditionally, the programme also determines the Hubert's kappa measure with its");
  Print(out, "\nstandard error (with the first three options of input data) and the traditional");
  Print(out, "\nFleiss's kappa measure with its standard error (with the first three options of");
  Print(out, "\ninput data). Data can be opened from a data file called:");
  Print(out, "\n-> %cZover_data.txt%c: R columns with the responses of each rater,", {kQuote, kQuote});
  Print(out, "\n-> %cZover_data_freq.txt%c: R columns with the responses of each rater and",
        {kQuote, kQuote});
  Print(out, "\nanother one with its frequencies,");
  Print(out, "\nwhich should be in the same folder as the executable program. Another way, user");
  Print(out, "\ncan insert new data from keyboard through a completed table of frequencies or a");
  Print(out, "\ntable of agreements/disagreements for Zover model (in both cases, at the");
  Print(out, "\nrequest of the program).");
  Print(out, "\n ");
}

}  // namespace zover
