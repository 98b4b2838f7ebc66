#include "driver/arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zover {
namespace {

TEST(ParseArgumentsTest, DialogueBatchAnswersAndUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    Command::Kind kind;
    int status;
    const char* out;  // prefix of what is printed on standard output
    const char* err;
  };
  const auto batch = Command::kBatch, answered = Command::kAnswered;
  const Case cases[] = {
      {{}, Command::kDialogue, 0, "", ""},
      {{"ratings.csv"}, batch, 0, "", ""},
      {{"--format", "json", "-f", "-"}, batch, 0, "", ""},
      {{"--version"}, answered, 0, "zover 1.3\n", ""},
      {{"--help", "extra"}, answered, 0, "Usage: zover ", ""},
      {{"-h"}, answered, 0, "Usage: zover ", ""},
      {{"--verbose", "f"}, answered, 2, "", "zover: The following argument was not expected: --verbose; run zover --help\n"},
      {{"--header"}, answered, 2, "", "zover: FILE is required; run zover --help\n"},
      {{"a", "b"}, batch, 0, "", ""},
      {{"-m", "a", "b"}, answered, 2, "", "zover: --model takes one FILE; run zover --help\n"},
      {{"-", "a", "-"}, answered, 2, "", "zover: FILE - (standard input) is given twice; run zover --help\n"},
      {{"--by", "site", "f"}, answered, 2, "",
       "zover: --by: \"site\" is a name, and without --header the columns have no names; run zover --help\n"},
      {{"--by", "2", "-m", "f"}, answered, 2, "", "zover: --model excludes --by; run zover --help\n"},
      {{"--by", "2", "a", "b"}, answered, 2, "",
       "zover: --by reads the groups of one FILE, or of frequencies files (-f), which are shards of one table; "
       "several other files are groups themselves; run zover --help\n"},
      {{"--compare", "gwet_ac1", "f"}, answered, 2, "",
       "zover: --compare needs groups: --by COLUMN, or several files (not -f); run zover --help\n"},
      {{"--compare-groups", "a,b", "-f", "a", "b"}, answered, 2, "",
       "zover: --compare-groups needs groups: --by COLUMN, or several files (not -f); run zover --help\n"},
      {{"--compare-groups", "a", "a", "b"}, answered, 2, "",
       "zover: --compare-groups: two groups are needed, as A,B; run zover --help\n"},
      {{"--compare-groups", "a,a", "a", "b"}, answered, 2, "",
       "zover: --compare-groups: the two groups are one; run zover --help\n"},
      {{"--header", "-m", "f"}, answered, 2, "", "zover: --model excludes --header; run zover --help\n"},
      {{"--id", "-f", "f"}, answered, 2, "", "zover: --frequencies excludes --id; run zover --help\n"},
      {{"-f", "-m", "f"}, answered, 2, "", "zover: --frequencies excludes --model; run zover --help\n"},
      {{"--format", "yaml", "f"}, answered, 2, "", "zover: --format: yaml not in {text,json,csv,html,svg}; run zover --help\n"},
      {{"f", "-o"}, answered, 2, "", "zover: --output: 1 required TEXT missing; run zover --help\n"},
      {{"f", "-o", ""}, answered, 2, "", "zover: --output: the file name is empty; run zover --help\n"},
      {{"--id", "--long", "f"}, answered, 2, "", "zover: --long excludes --id; run zover --help\n"},
      {{"--labels", "-m", "f"}, answered, 2, "", "zover: --model excludes --labels; run zover --help\n"},
      {{"--classes", "1,x,1.0", "f"}, answered, 2, "", "zover: --classes: the label \"1.0\" is given twice; run zover --help\n"},
      {{"--classes", "a, ,b", "f"}, answered, 2, "", "zover: --classes: an empty label; run zover --help\n"},
      {{"--classes", "a", "f"}, answered, 2, "", "zover: --classes: at least 2 classes are needed; run zover --help\n"},
      {{"--classes", "\"a", "f"}, answered, 2, "", "zover: --classes: a double quote is not closed; run zover --help\n"},
      {{"--weights", "cubic", "f"}, answered, 2, "", "zover: --weights: cubic not in {identity,linear,quadratic}; run zover --help\n"},
      {{"--alpha-level", "ordinal,", "f"}, answered, 2, "", "zover: --alpha-level: \"\" is not nominal, ordinal, interval or ratio; run zover --help\n"},
      {{"--alpha-level", "ratio, ratio", "f"}, answered, 2, "", "zover: --alpha-level: \"ratio\" is given twice; run zover --help\n"},
      {{"--bootstrap", "-1", "f"}, answered, 2, "", "zover: --bootstrap: Value -1 not in range 0 to 1000000; run zover --help\n"},
      {{"--threads", "0", "f"}, answered, 2, "", "zover: --threads: Value 0 not in range 1 to 1024; run zover --help\n"},
      {{"--seed", "18446744073709551616", "f"}, answered, 2, "", "zover: --seed: \"18446744073709551616\" is not a whole number from 0 to 18446744073709551615; run zover --help\n"},
      {{"--seed", "1", "-m", "f"}, answered, 2, "", "zover: --model excludes --seed; run zover --help\n"},
      {{"--bootstrap-method", "rows", "f"}, answered, 2, "", "zover: --bootstrap-method: rows not in {objects,pairs}; run zover --help\n"},
      {{"--level", "95", "f"}, answered, 2, "", "zover: --level: \"95\" is not a number between 0 and 1, such as 0.9; run zover --help\n"},
      {{"--level", "0", "f"}, answered, 2, "", "zover: --level: \"0\" is not a number between 0 and 1, such as 0.9; run zover --help\n"},
      {{"--sep", "|", "f"}, answered, 2, "", "zover: --sep: \"|\" is not ',', ';', tab or blank; run zover --help\n"},
      {{"--no-header", "--header", "f"}, answered, 2, "", "zover: --header excludes --no-header; run zover --help\n"},
      {{"--raters", "1,B", "f"}, answered, 2, "",
       "zover: --raters: \"B\" is a name, and without --header the columns have no names; run zover --help\n"},
      {{"--raters", "2", "f"}, answered, 2, "", "zover: --raters: at least 2 raters are needed; run zover --help\n"},
      {{"--raters", "1,2", "--long", "f"}, answered, 2, "", "zover: --long excludes --raters; run zover --help\n"},
      {{"--long-columns", "1,2,3", "f"}, answered, 2, "", "zover: --long-columns requires --long; run zover --help\n"},
      {{"--long", "--long-columns", "a,,c", "--header", "f"}, answered, 2, "",
       "zover: --long-columns: an empty column; run zover --help\n"},
      {{"--long", "--long-columns", "1,2", "f"}, answered, 2, "",
       "zover: --long-columns: three columns are needed: the object's, the rater's and the rating's; run zover --help\n"},
      {{"--objects", "-f", "f"}, answered, 2, "", "zover: --frequencies excludes --objects; run zover --help\n"},
      {{"--objects", "-m", "f"}, answered, 2, "", "zover: --model excludes --objects; run zover --help\n"},
      {{"--pairs", "-m", "f"}, answered, 2, "", "zover: --model excludes --pairs; run zover --help\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    std::ostringstream out, err;
    const Command command = ParseArguments(c.args, out, err);
    EXPECT_EQ(command.kind, c.kind);
    EXPECT_EQ(command.status, c.status);
    EXPECT_EQ(out.str().substr(0, std::string(c.out).size()), c.out);
    EXPECT_EQ(err.str(), c.err);
  }
  std::ostringstream out, err;
  const Command json = ParseArguments({"--format", "json", "-o", "r.json", "-f", "--header", "counts.txt"}, out, err);
  EXPECT_EQ(json.batch.file, "counts.txt");
  EXPECT_EQ(json.batch.read.layout, Layout::kFrequencies);
  EXPECT_EQ(json.batch.format, OutputFormat::kJson);
  EXPECT_EQ(json.batch.output, "r.json");
  EXPECT_TRUE(json.batch.read.header);
  EXPECT_EQ(ParseArguments({"-o", "-", "f"}, out, err).batch.output, "");  // standard output
  EXPECT_EQ(ParseArguments({"--format", "html", "f"}, out, err).batch.format, OutputFormat::kHtml);
  EXPECT_EQ(ParseArguments({"--format", "svg", "f"}, out, err).batch.format, OutputFormat::kSvg);
  const Command labels = ParseArguments({"--long", "--classes", " no , \"may, be\" ,\"say \"\"yes\"\"\"", "f"}, out, err);
  EXPECT_EQ(labels.batch.read.layout, Layout::kLong);
  EXPECT_EQ(labels.batch.read.classes, (std::vector<std::string>{"no", "may, be", "say \"yes\""}));
  // The levels in their own order; --bootstrap or --seed alone ask for the nominal one.
  const Request ordered =
      ParseArguments({"--alpha-level", "ratio,nominal", "--weights", "quadratic", "--seed", "18446744073709551615", "f"},
                     out, err)
          .batch.request;
  EXPECT_EQ(ordered.levels, (std::vector<AlphaLevel>{AlphaLevel::kNominal, AlphaLevel::kRatio}));
  EXPECT_EQ(ordered.weights, WeightScheme::kQuadratic);
  EXPECT_EQ(ordered.seed, 18446744073709551615ULL);
  EXPECT_EQ(ParseArguments({"--bootstrap", "0", "f"}, out, err).batch.request.levels,
            std::vector<AlphaLevel>{AlphaLevel::kNominal});
  EXPECT_TRUE(ParseArguments({"f"}, out, err).batch.request.levels.empty());
  // The objects bootstrap and the 95 % level unless asked; --bootstrap-method
  // alone asks for the nominal alpha too; --level fits model data.
  EXPECT_EQ(ordered.method, BootstrapMethod::kObjects);
  EXPECT_EQ(ParseArguments({"f"}, out, err).batch.request.level, 0.95);
  const Request pairs = ParseArguments({"--bootstrap-method", "pairs", "--level", "0.9", "f"}, out, err).batch.request;
  EXPECT_EQ(pairs.method, BootstrapMethod::kPairs);
  EXPECT_EQ(pairs.levels, std::vector<AlphaLevel>{AlphaLevel::kNominal});
  EXPECT_EQ(pairs.level, 0.9);
  EXPECT_EQ(ParseArguments({"-m", "--level", "0.99", "f"}, out, err).batch.request.level, 0.99);
  // The reading: the separator as the first line says unless --sep names it; columns by name or number.
  EXPECT_EQ(ParseArguments({"f"}, out, err).batch.read.separator, Separator::kDetect);
  EXPECT_EQ(ParseArguments({"--sep", ";", "f"}, out, err).batch.read.separator, Separator::kSemicolon);
  EXPECT_EQ(ParseArguments({"--sep", "tab", "f"}, out, err).batch.read.separator, Separator::kTab);
  EXPECT_EQ(ParseArguments({"--sep", "blank", "f"}, out, err).batch.read.separator, Separator::kBlank);
  const Command columns =
      ParseArguments({"--long", "--header", "--long-columns", "item, \"rater, first\",3", "f"}, out, err);
  EXPECT_EQ(columns.batch.read.longColumns, (std::vector<std::string>{"item", "rater, first", "3"}));
  EXPECT_EQ(ParseArguments({"--raters", "2,4", "f"}, out, err).batch.read.raters, (std::vector<std::string>{"2", "4"}));
  // Every pair of raters and the objects only when asked.
  EXPECT_EQ(ParseArguments({"f"}, out, err).batch.request.maxPairs, Request::kDefaultPairs);
  EXPECT_FALSE(ParseArguments({"f"}, out, err).batch.read.objects);
  const Command every = ParseArguments({"--pairs", "--objects", "--long", "f"}, out, err);
  EXPECT_EQ(every.batch.request.maxPairs, Request::kEveryPair);
  EXPECT_TRUE(every.batch.read.objects);
  // Several files in their order; groups and their comparisons.
  const Command groups = ParseArguments(
      {"--compare", "fleiss_kappa, gwet_ac1", "--compare-groups", "b.csv,c.csv", "a.csv", "b.csv", "c.csv"}, out, err);
  EXPECT_EQ(groups.batch.files, (std::vector<std::string>{"a.csv", "b.csv", "c.csv"}));
  EXPECT_EQ(groups.batch.file, "a.csv");
  EXPECT_EQ(groups.batch.request.compare, (std::vector<std::string>{"fleiss_kappa", "gwet_ac1"}));
  EXPECT_EQ(groups.batch.request.compareGroups, (std::vector<std::string>{"b.csv", "c.csv"}));
  EXPECT_EQ(ParseArguments({"--header", "--by", "site", "f"}, out, err).batch.read.by, "site");
}

// Every option has its line in the help text, which also tells how to run
// the dialogue; no line is wider than 80 columns.
TEST(ParseArgumentsTest, HelpListsEveryOption) {
  std::ostringstream out, err;
  ParseArguments({"--help"}, out, err);
  const std::string help = out.str();
  for (const char* text : {"-f, --frequencies", "-m, --model", "--long", "--header", "--id", "--missing", "--labels",
                           "--classes", "--weights", "--alpha-level", "--bootstrap", "--bootstrap-method", "--seed",
                           "--level", "--format", "-o, --output", "-h, --help", "--version", "--sep", "--no-header",
                           "--raters", "--long-columns", "--pairs", "--objects", "--by", "--compare",
                           "--compare-groups", "FILE...", "Zover_data.txt",
                           "Run zover without arguments for the interactive program"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace
}  // namespace zover
