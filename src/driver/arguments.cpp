#include "driver/arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <set>
#include <utility>

#include "input/text_fields.h"
#include "tables/limits.h"

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

// A list of names (`noun`: "label", "column"): separated by commas, the
// blanks around each dropped; a name in double quotes may hold commas (""
// stands for a quote). Returns what is wrong, or "".
std::string ParseList(const std::string& text, std::vector<std::string>& labels, const std::string& noun) {
  auto blank = [&text](std::size_t at) { return at < text.size() && (text[at] == ' ' || text[at] == '\t'); };
  labels.clear();
  std::size_t at = 0;
  while (true) {
    while (blank(at)) ++at;
    std::string label;
    if (at < text.size() && text[at] == '"') {
      for (++at;; ++at) {
        if (at >= text.size()) return "a double quote is not closed";
        if (text[at] == '"' && (at + 1 >= text.size() || text[at + 1] != '"')) break;
        if (text[at] == '"') ++at;  // the first of a pair of quotes
        label += text[at];
      }
      ++at;
      while (blank(at)) ++at;
      if (at < text.size() && text[at] != ',') return "text after a closing double quote";
    } else {
      const std::size_t comma = std::min(text.find(',', at), text.size());
      label = text.substr(at, comma - at);
      while (!label.empty() && (label.back() == ' ' || label.back() == '\t')) label.pop_back();
      if (label.find('"') != std::string::npos) return "a double quote inside a " + noun + " that does not start with one";
      at = comma;
    }
    if (label.empty()) return "an empty " + noun;
    labels.push_back(label);
    if (at >= text.size()) break;
    ++at;  // the comma
  }
  return "";
}

// The labels of --classes (ParseList): each once ("1" and "1.0" are one,
// "12345678901234567" and "12345678901234568" two), 2 to 1000 of them.
// Returns what is wrong, or "".
std::string ParseClassList(const std::string& text, std::vector<std::string>& labels) {
  const std::string problem = ParseList(text, labels, "label");
  if (!problem.empty()) return problem;
  std::set<std::string> texts;
  for (const std::string& label : labels) {
    const std::optional<std::string> exact = ExactNumber(label);
    // A number is known by its exact value, a text by its bytes; "#" keeps
    // them apart.
    if (!texts.insert(exact ? *exact : "#" + label).second) return "the label " + QuotedText(label) + " is given twice";
  }
  if (labels.size() < 2) return "at least 2 classes are needed";
  if (labels.size() > static_cast<std::size_t>(kMaxClasses)) return "at most 1000 classes can be analysed";
  return "";
}

// The levels of --alpha-level: separated by commas, the blanks around each
// dropped, each once; they are kept in the order of AlphaLevel. Returns what
// is wrong, or "".
std::string ParseLevels(const std::string& text, std::vector<AlphaLevel>& levels) {
  static const char* const kNames[] = {"nominal", "ordinal", "interval", "ratio"};
  std::vector<bool> chosen(std::size(kNames), false);
  std::size_t at = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::size_t first = text.find_first_not_of(" \t", at);
    const std::size_t last = text.find_last_not_of(" \t", comma - 1);
    const std::string name = first < comma && last != std::string::npos ? text.substr(first, last - first + 1) : "";
    const auto found = std::find(std::begin(kNames), std::end(kNames), name);
    if (found == std::end(kNames)) return QuotedText(name) + " is not nominal, ordinal, interval or ratio";
    const std::size_t level = static_cast<std::size_t>(found - std::begin(kNames));
    if (chosen[level]) return QuotedText(name) + " is given twice";
    chosen[level] = true;
    if (comma >= text.size()) break;
    at = comma + 1;
  }
  levels.clear();
  for (std::size_t level = 0; level < chosen.size(); ++level) {
    if (chosen[level]) levels.push_back(static_cast<AlphaLevel>(level));
  }
  return "";
}

// A seed: decimal digits, at most 2^64 - 1.
bool ParseSeed(const std::string& text, std::uint64_t& seed) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  seed = value;
  return true;
}

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
  std::string separator, raters, longColumns;
  auto* sepOption = app.add_option("--sep", separator);
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
  app.add_option("--format", format)->check(CLI::IsMember({"text", "json", "csv", "html", "svg"}));
  // "-" is standard output; an empty name is no file at all.
  app.add_option("-o,--output", options.output)
      ->check(CLI::Validator(
          [](std::string& path) { return path.empty() ? std::string("the file name is empty") : std::string(); }, ""));
  app.add_option("FILE", options.file)->required();
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
    std::string problem = ParseList(*list.first, *list.second, "column");
    if (problem.empty() && option == longColumnsOption && list.second->size() != 3) {
      problem = "three columns are needed: the object's, the rater's and the rating's";
    }
    if (problem.empty() && option == ratersOption && list.second->size() < 2) problem = "at least 2 raters are needed";
    if (problem.empty() && !options.read.header) {
      for (const std::string& column : *list.second) {
        if (!WholeField(column, 1000000000000000000ULL)) {
          problem = QuotedText(column) + " is a name, and without --header the columns have no names";
          break;
        }
      }
    }
    if (!problem.empty()) {
      err << "zover: " << option->get_name() << ": " << problem << "; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
  }
  if (sepOption->count() > 0) {
    const std::pair<const char*, Separator> separators[] = {
        {",", Separator::kComma},   {"comma", Separator::kComma}, {";", Separator::kSemicolon},
        {"semicolon", Separator::kSemicolon}, {"tab", Separator::kTab}, {"\t", Separator::kTab},
        {"blank", Separator::kBlank}};
    const auto found = std::find_if(std::begin(separators), std::end(separators),
                                    [&](const auto& known) { return separator == known.first; });
    if (found == std::end(separators)) {
      err << "zover: --sep: " << QuotedText(separator) << " is not ',', ';', tab or blank; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
    options.read.separator = found->second;
  }
  if (seedOption->count() > 0 && !ParseSeed(seed, ordered.seed)) {
    err << "zover: --seed: " << QuotedText(seed)
        << " is not a whole number from 0 to 18446744073709551615; run zover --help\n";
    command.status = kExitUsage;
    return command;
  }
  if (levelOption->count() > 0) {
    const std::optional<double> value = NumberField(level);
    if (!value || !(*value > 0 && *value < 1)) {
      err << "zover: --level: " << QuotedText(level) << " is not a number between 0 and 1, such as 0.9; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
    ordered.level = *value;
  }
  if (levelsOption->count() > 0) {
    const std::string problem = ParseLevels(levels, ordered.levels);
    if (!problem.empty()) {
      err << "zover: --alpha-level: " << problem << "; run zover --help\n";
      command.status = kExitUsage;
      return command;
    }
  } else if (samplesOption->count() > 0 || seedOption->count() > 0 || methodOption->count() > 0) {
    ordered.levels = {AlphaLevel::kNominal};
  }
  ordered.method = method == "pairs" ? BootstrapMethod::kPairs : BootstrapMethod::kObjects;
  if (allPairs) ordered.maxPairs = Request::kEveryPair;
  ordered.weights = weights == "linear"      ? WeightScheme::kLinear
                    : weights == "quadratic" ? WeightScheme::kQuadratic
                                             : WeightScheme::kIdentity;
  options.read.ordered = OrderedAnalysis(ordered);
  command.kind = Command::kBatch;
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
