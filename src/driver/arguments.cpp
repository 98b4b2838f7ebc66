#include "driver/arguments.h"

#include <ostream>

namespace zover {

namespace {

const char* const kUsage =
    "Usage: zover [--help | --version]\n"
    "\n"
    "Measures the nominal agreement of R raters who each put the same n objects\n"
    "into one of K classes: the multi-rater Zover agreement model (consistency,\n"
    "agreement, overall degree of agreement, chance probabilities, standard\n"
    "errors), Hubert's kappa, Fleiss' kappa and Hubert's pairwise kappa H2.\n"
    "\n"
    "Run zover without arguments for the interactive program. Its menu takes the\n"
    "data from the keyboard or from one of two files in the working folder:\n"
    "  Zover_data.txt       one line per object, one class number per rater\n"
    "  Zover_data_freq.txt  one line per response tuple: a class number per\n"
    "                       rater, then the number of objects that got it\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

const char* const kVersion = "zover 1.3\n";

}  // namespace

std::optional<int> HandleArguments(const std::vector<std::string>& args, std::ostream& out,
                                   std::ostream& err) {
  if (args.empty()) return std::nullopt;
  for (const std::string& arg : args) {
    if (arg != "--help" && arg != "--version") {
      err << "zover: unknown argument '" << arg << "'; run zover --help\n";
      return kExitUsage;
    }
  }
  out << (args.front() == "--help" ? kUsage : kVersion);
  return 0;
}

}  // namespace zover
