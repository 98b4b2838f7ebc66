#include "driver/arguments.h"

#include <CLI/CLI.hpp>
#include <ostream>
#include <utility>

#include "analysis/option_values.h"
#include "input/text_fields.h"

namespace zover {

namespace {

const char* const kUsage =
    "Usage: zover                    the interactive dialogue\n"
    "       zover [OPTIONS] FILE     analyse FILE at once, without the dialogue\n"
    "       zover [OPTIONS] FILE...  each FILE a group: one analysis per file and one\n"
    "                                of all; with -f the files are shards of one\n"
    "                                table of counts, added into one analysis\n"
    "\n"
    "Measures the nominal agreement of R raters who each put the same n objects\n"
    "into one of K classes: the multi-rater Zover agreement model (consistency,\n"
    "agreement, overall degree of agreement, chance probabilities, standard\n"
    "errors), Hubert's kappa, Fleiss' kappa and Hubert's pairwise kappa H2.\n"
    "\n"
    "For a FILE of observed data it also gives percent agreement, Brennan-Prediger,\n"
    "Gwet's AC1 and Fleiss' kappa in Gwet's form (each with Gwet's standard\n"
    "error), Krippendorff's alpha (nominal, an estimate only), Fleiss' kappa per\n"
    "class, Conger's kappa, Light's kappa (three raters or more) and Scott's pi\n"
    "(two raters); every pair of raters (agreement, Cohen's kappa, its table) and\n"
    "every rater (its classes, its agreement with the others' leading class, the\n"
    "others' Fleiss' kappa without it).\n"
    "\n"
    "For ordered classes (ratings on a scale) it adds weighted kappa, Gwet's AC2\n"
    "and weighted coefficients (--weights), and Krippendorff's alpha for ordinal,\n"
    "interval and ratio data (--alpha-level); the class values are the class\n"
    "numbers, or the labels when every label is a number.\n"
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
    "      --long          FILE holds one rating per line: object, rater, rating\n"
    "      --header        the first line holds names: of the raters, or of the three\n"
    "                      columns (--long)\n"
    "      --id            the first field of every line labels the object (raw)\n"
    "      --no-header     the first line is data, though it looks like a header\n"
    "      --sep SEP       the separator: ',', ';', tab, or blank (runs of blanks, or\n"
    "                      a comma or semicolon among them); without it the first\n"
    "                      line decides\n"
    "      --raters LIST   the raters' columns, by header name or number from 1;\n"
    "                      the other columns are not read (raw)\n"
    "      --long-columns OBJECT,RATER,RATING\n"
    "                      the three columns of a long file, by header name or\n"
    "                      number from 1; the other columns are not read\n"
    "      --by COLUMN     the column that names each line's group, by header name or\n"
    "                      number from 1: one analysis per group and one of all\n"
    "                      groups together, and the groups compared\n"
    "      --compare LIST  the coefficients compared between groups, by their CSV\n"
    "                      names (fleiss_kappa,gwet_ac1); the page draws the first\n"
    "                      across the groups; default: every coefficient with an SE,\n"
    "                      and Fleiss' kappa drawn\n"
    "      --compare-groups A,B\n"
    "                      compare group A with group B, instead of each group with\n"
    "                      the others pooled\n"
    "      --missing       an empty field, NA or . is a missing rating (raw, long)\n"
    "      --labels        every rating is a label (any text), not a class number;\n"
    "                      numbers order by value, other labels by their bytes\n"
    "      --classes LIST  the labels of the classes in order, e.g. no,maybe,yes\n"
    "      --weights W     identity (the default), linear or quadratic: adds the\n"
    "                      weighted coefficients of ordered classes\n"
    "      --alpha-level L Krippendorff's alpha for nominal, ordinal, interval or\n"
    "                      ratio data (comma-separated), each with a bootstrap\n"
    "                      interval\n"
    "      --bootstrap N   bootstrap resamples of each alpha and of Light's kappa\n"
    "                      (default 1000, 0: none)\n"
    "      --bootstrap-method M\n"
    "                      objects (the default) resamples whole objects with all\n"
    "                      their ratings; pairs resamples the pairs of ratings of\n"
    "                      an object as if independent, which gives too narrow an\n"
    "                      interval when objects have more than two ratings\n"
    "      --seed S        seed of the bootstrap (default 1)\n"
    "      --pairs         every pair of raters, however many: beyond 100 raters\n"
    "                      (4950 pairs) the pairs and Light's kappa are left out\n"
    "                      unless asked for, as their cost grows with R^2\n"
    "      --objects       list every object, most disputed first: the adjudication\n"
    "                      list (raw and long files)\n"
    "      --level P       the level of every confidence interval, 0 < P < 1\n"
    "                      (default 0.95)\n"
    "      --threads N     threads for large data (default: one per core); the\n"
    "                      results are the same with any N\n"
    "      --format FORMAT text (the default), json, csv, html (a page with figures\n"
    "                      and tables) or svg (the figure of the coefficients)\n"
    "  -o, --output PATH   write the result to PATH (-: standard output, the default)\n"
    "  -h, --help          show this text and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "FILE is read as R, pandas and spreadsheets write CSV; where it could be\n"
    "read two ways the program refuses it, naming the option that decides, or\n"
    "warns (on standard error and in the result).\n"
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

}  // namespace

Command ParseArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Command command;
  if (args.empty()) return command;

  CLI::App app("zover", "zover");
  app.set_help_flag("-h,--help");
  app.set_version_flag("--version", std::string("zover ") + Version());
  BatchOptions& options = command.batch;
  bool frequencies = false, model = false, longLayout = false;
  std::string format = "text";
  std::string classes;
  auto* frequenciesFlag = app.add_flag("-f,--frequencies", frequencies);
  auto* modelFlag = app.add_flag("-m,--model", model);
  auto* longFlag = app.add_flag("--long", longLayout);
  auto* headerFlag = app.add_flag("--header", options.read.header);
  auto* idFlag = app.add_flag("--id", options.read.id);
  auto* missingFlag = app.add_flag("--missing", options.read.missing);
  auto* labelsFlag = app.add_flag("--labels", options.read.labels);
  auto* classesOption = app.add_option("--classes", classes);
  auto* noHeaderFlag = app.add_flag("--no-header", options.read.noHeader);
  std::string separator, raters, longColumns, compare, compareGroups;
  auto* sepOption = app.add_option("--sep", separator);
  auto* byOption = app.add_option("--by", options.read.by);
  auto* compareOption = app.add_option("--compare", compare);
  auto* compareGroupsOption = app.add_option("--compare-groups", compareGroups);
  auto* ratersOption = app.add_option("--raters", raters);
  auto* longColumnsOption = app.add_option("--long-columns", longColumns);
  std::string weights = "identity", levels;
  Request& ordered = options.request;
  auto* weightsOption =
      app.add_option("--weights", weights)->check(CLI::IsMember({"identity", "linear", "quadratic"}));
  auto* levelsOption = app.add_option("--alpha-level", levels);
  auto* samplesOption = app.add_option("--bootstrap", ordered.samples)->check(CLI::Range(0L, 1000000L));
  std::string seed;
  auto* seedOption = app.add_option("--seed", seed);
  std::string method = "objects";
  auto* methodOption =
      app.add_option("--bootstrap-method", method)->check(CLI::IsMember({"objects", "pairs"}));
  std::string level;
  auto* levelOption = app.add_option("--level", level);
  bool allPairs = false;
  auto* pairsFlag = app.add_flag("--pairs", allPairs);
  auto* objectsFlag = app.add_flag("--objects", options.read.objects);
  app.add_option("--threads", ordered.threads)->check(CLI::Range(1, 1024));
  app.add_option("--format", format)->check(CLI::IsMember({"text", "json", "csv", "html", "svg"}));
  // "-" is standard output; an empty name is no file at all.
  app.add_option("-o,--output", options.output)
      ->check(CLI::Validator(
          [](std::string& path) { return path.empty() ? std::string("the file name is empty") : std::string(); }, ""));
  app.add_option("FILE", options.files)->required();
  frequenciesFlag->excludes(modelFlag);
  longFlag->excludes(modelFlag)->excludes(frequenciesFlag);
  headerFlag->excludes(modelFlag);
  idFlag->excludes(modelFlag)->excludes(frequenciesFlag)->excludes(longFlag);
  missingFlag->excludes(modelFlag)->excludes(frequenciesFlag);
  labelsFlag->excludes(modelFlag);
  classesOption->excludes(modelFlag);
  noHeaderFlag->excludes(modelFlag)->excludes(headerFlag);
  sepOption->excludes(modelFlag);
  ratersOption->excludes(modelFlag)->excludes(frequenciesFlag)->excludes(longFlag);
  longColumnsOption->needs(longFlag);
  pairsFlag->excludes(modelFlag);
  objectsFlag->excludes(modelFlag)->excludes(frequenciesFlag);
  byOption->excludes(modelFlag);
  for (CLI::Option* scale : {weightsOption, levelsOption, samplesOption, seedOption, methodOption}) {
    scale->excludes(modelFlag);
  }

  // CLI11 takes the arguments last to first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  command.kind = Command::kAnswered;
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << kUsage;
    return command;
  } catch (const CLI::CallForVersion&) {
    out << "zover " << Version() << "\n";
    return command;
  } catch (const CLI::ParseError& e) {
    err << "zover: " << e.what() << "; run zover --help\n";
    command.status = kExitUsage;
    return command;
  }
  const auto usage = [&](const std::string& text) {
    err << "zover: " << text << "; run zover --help\n";
    command.status = kExitUsage;
    return command;
  };
  options.file = options.files[0];
  if (options.files.size() > 1 && model) return usage("--model takes one FILE");
  if (options.files.size() > 1 && byOption->count() > 0 && !frequencies) {
    return usage("--by reads the groups of one FILE, or of frequencies files (-f), which are shards of one table; "
                 "several other files are groups themselves");
  }
  if (std::count(options.files.begin(), options.files.end(), "-") > 1) return usage("FILE - (standard input) is given twice");
  const bool grouped = byOption->count() > 0 || (options.files.size() > 1 && !frequencies);
  if (byOption->count() > 0) {
    if (options.read.by.empty()) return usage("--by: the column is empty");
    if (!options.read.header && !WholeField(options.read.by, 1000000000000000000ULL)) {
      return usage("--by: " + QuotedText(options.read.by) + " is a name, and without --header the columns have no names");
    }
  }
  for (CLI::Option* option : {compareOption, compareGroupsOption}) {
    if (option->count() > 0 && !grouped) {
      return usage(option->get_name() + " needs groups: --by COLUMN, or several files (not -f)");
    }
  }
  if (compareOption->count() > 0) {
    const std::string problem = ParseList(compare, options.request.compare, "coefficient");
    if (!problem.empty()) return usage("--compare: " + problem);
  }
  if (compareGroupsOption->count() > 0) {
    std::string problem = ParseList(compareGroups, options.request.compareGroups, "group");
    if (problem.empty() && options.request.compareGroups.size() != 2) problem = "two groups are needed, as A,B";
    if (problem.empty() && options.request.compareGroups[0] == options.request.compareGroups[1]) {
      problem = "the two groups are one";
    }
    if (!problem.empty()) return usage("--compare-groups: " + problem);
  }
  if (!classes.empty() || classesOption->count() > 0) {
    const std::string problem = ParseClassList(classes, options.read.classes);
    if (!problem.empty()) {
      err << "zover: --classes: " << problem << "; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
  }
  // Columns by name need the header's names; a long file's are three.
  const std::pair<CLI::Option*, std::pair<const std::string*, std::vector<std::string>*>> lists[] = {
      {ratersOption, {&raters, &options.read.raters}}, {longColumnsOption, {&longColumns, &options.read.longColumns}}};
  for (const auto& [option, list] : lists) {
    if (option->count() == 0) continue;
    const std::string problem =
        ParseColumns(*list.first, option == longColumnsOption, options.read.header, *list.second);
    if (!problem.empty()) {
      err << "zover: " << option->get_name() << ": " << problem << "; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
  }
  // The values read as the page in a browser reads them.
  const std::pair<CLI::Option*, std::string> values[] = {
      {sepOption, sepOption->count() > 0 ? ParseSeparator(separator, options.read.separator) : ""},
      {seedOption, seedOption->count() > 0 ? ParseSeed(seed, ordered.seed) : ""},
      {levelOption, levelOption->count() > 0 ? ParseLevel(level, ordered.level) : ""},
      {levelsOption, levelsOption->count() > 0 ? ParseLevels(levels, ordered.levels) : ""}};
  for (const auto& [option, problem] : values) {
    if (!problem.empty()) {
      err << "zover: " << option->get_name() << ": " << problem << "; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
  }
  ordered.method = method == "pairs" ? BootstrapMethod::kPairs : BootstrapMethod::kObjects;
  if (allPairs) ordered.maxPairs = Request::kEveryPair;
  ordered.weights = weights == "linear"      ? WeightScheme::kLinear
                    : weights == "quadratic" ? WeightScheme::kQuadratic
                                             : WeightScheme::kIdentity;
  SettleOptions(samplesOption->count() > 0 || seedOption->count() > 0 || methodOption->count() > 0, options.read,
                ordered);
  command.kind = Command::kBatch;
  options.read.threads = ordered.threads;
  if (options.output == "-") options.output.clear();
  options.read.layout = model        ? Layout::kModel
                   : frequencies ? Layout::kFrequencies
                   : longLayout  ? Layout::kLong
                                 : Layout::kRaw;
  const std::pair<const char*, OutputFormat> formats[] = {{"json", OutputFormat::kJson},
                                                          {"csv", OutputFormat::kCsv},
                                                          {"html", OutputFormat::kHtml},
                                                          {"svg", OutputFormat::kSvg}};
  for (const auto& [name, value] : formats) {
    if (format == name) options.format = value;
  }
  return command;
}

}  // namespace zover
