#include "driver/arguments.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace zover {

namespace {

const char* const kUsage =
    "Usage: zover                    the interactive dialogue\n"
    "       zover [OPTIONS] FILE     analyse FILE at once, without the dialogue\n"
    "\n"
    "Measures the nominal agreement of R raters who each put the same n objects\n"
    "into one of K classes: the multi-rater Zover agreement model (consistency,\n"
    "agreement, overall degree of agreement, chance probabilities, standard\n"
    "errors), Hubert's kappa, Fleiss' kappa and Hubert's pairwise kappa H2.\n"
    "\n"
    "For a FILE of observed data it also gives percent agreement, Brennan-Prediger,\n"
    "Gwet's AC1 and Fleiss' kappa in Gwet's form (each with Gwet's standard\n"
    "error), Krippendorff's alpha (nominal, an estimate only) and Fleiss' kappa\n"
    "per class.\n"
    "\n"
    "The null standard error (se0) is that of a kappa when the raters agree only\n"
    "by chance: z = estimate / se0, with its two-sided normal p, tests Cohen's\n"
    "kappa (two raters), Fleiss' kappa and each per-class kappa; the z and p of\n"
    "the other coefficients divide by their own standard error.\n"
    "\n"
    "FILE holds raw responses, one line per object and one class number (1 to K)\n"
    "per rater, unless an option says otherwise; FILE - is standard input.\n"
    "Model data give per class its agreements, then the disagreements of every\n"
    "rater.\n"
    "\n"
    "Options:\n"
    "  -f, --frequencies   FILE holds response tuples: R classes, then a frequency\n"
    "  -m, --model         FILE holds model data: K, R, n, then per class its counts\n"
    "      --header        the first line names the raters (not with --model)\n"
    "      --id            the first field of every line labels the object (raw)\n"
    "      --missing       an empty field, NA or . is a missing rating (raw)\n"
    "      --format FORMAT text (the default), json or csv\n"
    "  -o, --output PATH   write the result to PATH (-: standard output, the default)\n"
    "  -h, --help          show this text and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Exit status: 0 analysed and written; 1 the data were refused or could not\n"
    "be read, or the output could not be written (the reason on standard\n"
    "error); 2 the command line is not understood.\n"
    "\n"
    "Run zover without arguments for the interactive program. Its menu takes the\n"
    "data from the keyboard or from one of two files in the working folder:\n"
    "  Zover_data.txt       one line per object, one class number per rater\n"
    "  Zover_data_freq.txt  one line per response tuple: a class number per\n"
    "                       rater, then the number of objects that got it\n";

const char* const kVersion = "zover 1.3\n";

}  // namespace

Command ParseArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command command;
  if (args.empty()) return command;

  CLI::App app("zover", "zover");
  app.set_help_flag("-h,--help");
  app.set_version_flag("--version", "zover 1.3");
  BatchOptions& options = command.batch;
  bool frequencies = false, model = false;
  std::string format = "text";
  auto* frequenciesFlag = app.add_flag("-f,--frequencies", frequencies);
  auto* modelFlag = app.add_flag("-m,--model", model);
  auto* headerFlag = app.add_flag("--header", options.header);
  auto* idFlag = app.add_flag("--id", options.id);
  auto* missingFlag = app.add_flag("--missing", options.missing);
  app.add_option("--format", format)->check(CLI::IsMember({"text", "json", "csv"}));
  // "-" is standard output; an empty name is no file at all.
  app.add_option("-o,--output", options.output)
      ->check(CLI::Validator(
          [](std::string& path) { return path.empty() ? std::string("the file name is empty") : std::string(); }, ""));
  app.add_option("FILE", options.file)->required();
  frequenciesFlag->excludes(modelFlag);
  headerFlag->excludes(modelFlag);
  idFlag->excludes(modelFlag)->excludes(frequenciesFlag);
  missingFlag->excludes(modelFlag)->excludes(frequenciesFlag);

  // CLI11 takes the arguments last to first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  command.kind = Command::kAnswered;
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << kUsage;
    return command;
  } catch (const CLI::CallForVersion&) {
    out << kVersion;
    return command;
  } catch (const CLI::ParseError& e) {
    err << "zover: " << e.what() << "; run zover --help\n";
    command.status = kExitUsage;
    return command;
  }
  command.kind = Command::kBatch;
  if (options.output == "-") options.output.clear();
  options.layout = model ? Layout::kModel : frequencies ? Layout::kFrequencies : Layout::kRaw;
  options.format = format == "json" ? OutputFormat::kJson : format == "csv" ? OutputFormat::kCsv : OutputFormat::kText;
  return command;
}

}  // namespace zover
