// The batch command, in-process: its text equals the dialogue's bytes for the
// same data, its JSON and CSV hold the values the text prints, and every
// failure gives its status and one message on standard error.

#include "driver/batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <cctype>
#include <set>
#include <sstream>

#include "console/format.h"
#include "support/non_finite.h"
#include "support/session.h"

namespace zover {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct BatchRun {
  int status = -1;
  std::string out, err;
  std::map<std::string, std::string> written;
};

// Runs the batch command on files held in memory.
BatchRun Batch(const BatchOptions& options, const std::map<std::string, std::string>& files) {
  BatchRun run;
  std::ostringstream out, err;
  BatchSystem system{out, err,
                     [&](const std::string& path, std::string* why) -> std::unique_ptr<DataSource> {
                       const auto it = files.find(path);
                       if (it != files.end()) return std::make_unique<StringSource>(it->second);
                       *why = "No such file or directory";
                       return nullptr;
                     },
                     [&](const std::string& path, const std::string& content, std::string* why) {
                       if (path.rfind("/no/", 0) == 0) {
                         *why = path + ": No such file or directory";
                         return false;
                       }
                       run.written[path] = content;
                       return true;
                     }};
  run.status = RunBatch(options, system);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A session of the golden transcripts or the examples whose first pass reads
// a data file or model data, as the batch command's file.
struct Session {
  std::string name, answers;
  std::map<std::string, std::string> files;  // the dialogue's data files
  BatchOptions options;
  std::string content;  // FILE for the batch command
};

std::vector<Session> FirstPassSessions() {
  std::vector<std::pair<std::string, fs::path>> inputs;  // name, answers file
  const fs::path tests = ZOVER_TEST_DATA_DIR;
  for (const auto& entry : fs::directory_iterator(tests / "golden")) {
    inputs.emplace_back("golden " + entry.path().filename().string(), entry.path() / "input");
  }
  for (const auto& entry : fs::directory_iterator(tests / ".." / "examples" / "answers")) {
    inputs.emplace_back("example " + entry.path().stem().string(), entry.path());
  }
  std::vector<Session> sessions;
  for (const auto& [name, answersPath] : inputs) {
    Session s{name, Read(answersPath), {}, {}, {}};
    const fs::path folder = name.rfind("golden", 0) == 0 ? answersPath.parent_path() : tests / ".." / "examples";
    for (const char* file : {"Zover_data.txt", "Zover_data_freq.txt"}) {
      if (fs::exists(folder / file)) s.files[file] = Read(folder / file);
    }
    std::istringstream lines(s.answers);
    std::string mode;
    std::getline(lines, mode);
    s.options.file = "data";
    if (mode == "1" || mode == "2") {
      const char* file = mode == "1" ? "Zover_data.txt" : "Zover_data_freq.txt";
      if (!s.files.count(file)) continue;
      s.content = s.files[file];
      s.options.read.layout = mode == "1" ? Layout::kRaw : Layout::kFrequencies;
    } else if (mode == "4") {
      // K, R and n, then K (R + 1) counts, one answer per line.
      std::vector<std::string> numbers;
      for (std::string line; std::getline(lines, line);) numbers.push_back(line);
      const std::size_t needed = 3 + std::stoul(numbers.at(0)) * (std::stoul(numbers.at(1)) + 1);
      for (std::size_t k = 0; k < needed; ++k) s.content += numbers.at(k) + "\n";
      s.options.read.layout = Layout::kModel;
    } else {
      continue;
    }
    sessions.push_back(s);
  }
  return sessions;
}

// The analysis of the dialogue's first pass, from its raw agreement line up
// to the end prompt; empty when the pass was refused.
std::string FirstAnalysis(const std::string& output) {
  const std::size_t from = output.find("\n\n Raw = ");
  const std::size_t to = output.find("\n\n\n 0-END");
  const std::size_t secondMenu = output.find(testing::kMenu, output.find(testing::kMenu) + 1);
  if (from == std::string::npos || to == std::string::npos || secondMenu < from) return "";
  return output.substr(from, to - from);
}

TEST(BatchTest, TextIsTheDialoguesAnalysis) {
  const std::vector<Session> sessions = FirstPassSessions();
  EXPECT_GE(sessions.size(), 15u);
  for (const Session& s : sessions) {
    SCOPED_TRACE(s.name);
    const std::string analysis = FirstAnalysis(testing::RunSession(s.answers, s.files).output);
    const BatchRun run = Batch(s.options, {{"data", s.content}});
    if (analysis.empty()) {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, "");
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, analysis.size()), analysis);
    // Then a caution where the model is not to be read as it stands, and,
    // for observed data, the table of agreement coefficients.
    std::string rest = run.out.substr(std::min(analysis.size(), run.out.size()));
    if (rest.rfind("\n\n Caution: ", 0) == 0) {
      const std::size_t next = rest.find("\n\n", 2);
      rest.erase(0, next == std::string::npos ? rest.size() - 1 : next);
    }
    if (s.options.read.layout == Layout::kModel) {
      EXPECT_EQ(rest, "\n");
    } else {
      const std::string table = "\n\n Agreement coefficients";
      EXPECT_EQ(rest.substr(0, table.size()), table);
      EXPECT_EQ(rest.back(), '\n');
    }
  }
}

// The numbers a text report prints (four decimals, NaN, Inf, -Inf), in order.
std::vector<std::string> PrintedNumbers(const std::string& text) {
  auto digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  auto letter = [&](std::size_t at) { return at < text.size() && std::isalpha(static_cast<unsigned char>(text[at])); };
  std::vector<std::string> found;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    const std::size_t body = text[at] == '-' ? at + 1 : at;
    if (text.compare(body, 3, "NaN") == 0 || text.compare(body, 3, "Inf") == 0) {
      if (!letter(body + 3) && !letter(start - 1)) found.push_back(text.substr(start, body + 3 - start));
      at = body + 3;
      continue;
    }
    std::size_t end = body;
    while (digit(end)) ++end;
    if (end > body && text[end] == '.' && digit(end + 1) && digit(end + 2) && digit(end + 3) && digit(end + 4) &&
        !digit(end + 5)) {
      found.push_back(text.substr(start, end + 5 - start));
      at = end + 5;
      continue;
    }
    at = std::max(end, start + 1);
  }
  return found;
}

// The same numbers from the JSON, in the order the report prints them.
class ExpectedNumbers {
 public:
  std::vector<std::string> numbers;
  void Add(const Json& value) { numbers.push_back(value.is_null() ? "non-finite" : Fixed4(value.get<double>())); }
  void WithError(const Json& m) {
    Add(m["estimate"]);
    Add(m["se"]);
  }
};

std::vector<std::string> FromJson(const Json& j) {
  ExpectedNumbers e;
  e.Add(j["raw_agreement"]);
  const Json& kappa = j["kappa"];
  e.Add(kappa["hubert"]["estimate"]);
  if (!kappa["hubert"]["se"].is_null()) e.Add(kappa["hubert"]["se"]);
  if (kappa.contains("fleiss")) e.WithError(kappa["fleiss"]);
  if (kappa.contains("h2")) e.Add(kappa["h2"]["estimate"]);
  const Json& model = j["model"];
  const std::string report = model["report"];
  if (model.contains("first_fit")) {
    for (const Json& c : model["first_fit"]["classes"]) {
      if (report == "minus_infinity" && c["agreement"].is_null()) continue;  // "-Infinity" cells
      if (c.contains("consistency")) e.Add(c["consistency"]);
      e.Add(c["agreement"]);
      if (report == "minus_infinity") continue;  // "1.0" and "0.0" have one decimal
      for (const Json& p : c["chance"]) {
        if (!p.is_null()) e.Add(p);  // an indeterminate probability shows "----"
      }
    }
    if (report != "minus_infinity") e.Add(model["first_fit"]["overall"]);
  }
  for (const Json& c : model["final"]["classes"]) {
    e.WithError(c["consistency"]);
    e.WithError(c["agreement"]);
    if (report == "two_by_two") continue;  // its final table shows no probabilities
    for (const Json& p : c["chance"]) e.Add(p);
  }
  e.WithError(model["final"]["overall"]);
  return e.numbers;
}

std::vector<std::string> CsvCells(const std::string& line) {
  std::vector<std::string> cells(1);
  for (const char c : line) {
    if (c == ',') {
      cells.emplace_back();
    } else {
      cells.back().push_back(c);
    }
  }
  return cells;
}

TEST(BatchTest, JsonAndCsvHoldTheValuesTheTextPrints) {
  std::set<std::string> reports;
  for (const Session& s : FirstPassSessions()) {
    SCOPED_TRACE(s.name);
    BatchOptions options = s.options;
    const BatchRun text = Batch(options, {{"data", s.content}});
    if (text.status != 0) continue;
    options.format = OutputFormat::kJson;
    const Json j = Json::parse(Batch(options, {{"data", s.content}}).out);
    reports.insert(j["model"]["report"].get<std::string>());
    std::vector<std::string> printed = PrintedNumbers(text.out.substr(0, text.out.find("\n\n Agreement coefficients")));
    for (std::string& p : printed) {
      if (p == "NaN" || p == "Inf" || p == "-Inf") p = "non-finite";
    }
    EXPECT_EQ(FromJson(j), printed);

    // The CSV's estimates and standard errors are the JSON's, bit for bit.
    options.format = OutputFormat::kCsv;
    std::istringstream csv(Batch(options, {{"data", s.content}}).out);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line,
              "measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,class_label,objects_used,rater2,class2,count");
    std::map<std::string, std::vector<std::string>> rows;
    while (std::getline(csv, line)) {
      const auto cells = CsvCells(line);
      ASSERT_EQ(cells.size(), 15u) << line;
      rows[cells[0] + "/" + cells[1] + "/" + cells[2]] = cells;
    }
    auto cell = [](const Json& v) { return v.is_null() ? std::string() : v.dump(); };
    EXPECT_EQ(rows["raw_agreement//"][3], cell(j["raw_agreement"]));
    EXPECT_EQ(rows["hubert_kappa//"][4], cell(j["kappa"]["hubert"]["se"]));
    const Json& final = j["model"]["final"];
    EXPECT_EQ(rows["zover_overall//"][3], cell(final["overall"]["estimate"]));
    EXPECT_EQ(rows["zover_overall//"][5], cell(final["overall"]["ci95"].is_null() ? Json() : final["overall"]["ci95"][0]));
    for (const Json& c : final["classes"]) {
      const std::string cls = std::to_string(c["class"].get<int>());
      EXPECT_EQ(rows["zover_agreement/" + cls + "/"][4], cell(c["agreement"]["se"]));
      EXPECT_EQ(rows["zover_consistency/" + cls + "/"][3], cell(c["consistency"]["estimate"]));
      EXPECT_EQ(rows["chance_probability/" + cls + "/1"][3], cell(c["chance"][0]));
    }
  }
  EXPECT_EQ(reports.size(), 6u);
}

TEST(BatchTest, FailuresGiveTheirStatusAndOneMessage) {
  struct Case {
    const char* name;
    BatchOptions options;
    std::string content;
    int status;
    const char* err;
  };
  BatchOptions missing;
  missing.file = "gone.txt";
  BatchOptions unwritable;
  unwritable.file = "data";
  unwritable.output = "/no/such/folder/r.txt";
  BatchOptions model;
  model.file = "data";
  model.read.layout = Layout::kModel;
  BatchOptions raw;
  raw.file = "data";
  const Case cases[] = {
      {"refused file", raw, "1,2\n2,\n", 1,
       "zover: ERROR in file \"data\", line 2, field 2: the field is empty; add --missing to read empty fields, NA "
       "and . as missing ratings.\n"},
      {"missing file", missing, "", 1, "zover: ERROR opening file.\nzover: gone.txt: No such file or directory\n"},
      {"model data", model, "2 2 10\n3 2 2 4 1 2\n", 1,
       "zover: ERROR in file \"data\": the disagreements add up to 7 where R * (n - agreements) is 6.\n"},
      {"unwritable output", unwritable, "1 2\n2 2\n", 1,
       "zover: cannot write the output: /no/such/folder/r.txt: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BatchRun run = Batch(c.options, {{"data", c.content}});
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
    EXPECT_TRUE(run.written.empty());
  }
  BatchOptions toFile = raw;
  toFile.output = "r.txt";
  const BatchRun written = Batch(toFile, {{"data", "1 2\n2 2\n"}});
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(written.out, "");
  const std::string start = "\n\n Raw = 0.5000 and n = 2";
  EXPECT_EQ(written.written.at("r.txt").substr(0, start.size()), start);
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// Missing ratings: the coefficients that use every rating take every object;
// the model and the kappas take the objects that every rater rated, and need
// two of them.
TEST(BatchTest, MissingRatings) {
  struct Case {
    const char* name;
    std::string file;
    long long objects, complete, missing;
    double alpha;  // Krippendorff's alpha, NaN where none
  };
  const double none = std::nan("");
  const Case cases[] = {
      // Krippendorff (2011): alpha = 0.743.
      {"published example",
       "1 1 . 1\n2 2 3 2\n3 3 3 3\n3 3 3 3\n2 2 2 2\n1 2 3 4\n4 4 4 4\n1 1 2 1\n2 2 2 2\n. 5 5 5\n. . 1 1\n. . 3 .\n", 12,
       8, 7, 0.743},
      // Coincidences o_11 = 4, o_22 = 2, o_12 = o_21 = 1: alpha = 1 - 2 / (30 / 7).
      {"each object lacks another rater", "1,1,\n2,,2\n,1,1\n1,.,2\n", 4, 0, 4, 8.0 / 15},
      {"one complete object", "1 1 1\n2 . 2\n1 NA 1\n", 3, 1, 2, 1},
      {"a line of missing ratings only", "1 1 2\n2 2 2\nNA NA NA\n1 2 1\n", 4, 3, 3, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BatchOptions options;
    options.file = "data";
    options.read.missing = true;
    options.format = OutputFormat::kJson;
    const BatchRun run = Batch(options, {{"data", c.file}});
    ASSERT_EQ(run.status, 0) << run.err;
    const Json j = Json::parse(run.out);
    EXPECT_EQ(j["input"]["objects"], c.objects);
    EXPECT_EQ(j["input"]["complete_objects"], c.complete);
    EXPECT_EQ(j["input"]["missing_ratings"], c.missing);
    const Json& alpha = j["coefficients"]["krippendorff_alpha"]["estimate"];
    if (!std::isnan(c.alpha)) {
      EXPECT_NEAR(alpha.get<double>(), c.alpha, 5e-4);
    }
    EXPECT_FALSE(j["coefficients"]["percent_agreement"]["estimate"].is_null());
    EXPECT_EQ(j["model"].is_null(), c.complete < 2);
    if (c.complete < 2) {
      EXPECT_EQ(j["not_analysed"], "fewer than 2 objects are rated by every rater");
    }

    options.format = OutputFormat::kText;
    const std::string text = Batch(options, {{"data", c.file}}).out;
    if (c.complete < 2) {
      EXPECT_TRUE(testing::NoLowercaseNonFinite(text)) << text;
      EXPECT_EQ(text.find("NaN"), std::string::npos) << text;
    }
    EXPECT_NE(text.find(c.complete < 2 ? "are not computed: fewer than 2 objects" : "Overall degree of agreement"),
              std::string::npos);
    EXPECT_NE(text.find("\n Objects: "), std::string::npos);
  }
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// The options of a command line, as a user gives them (FILE is "data").
BatchOptions Options(std::vector<std::string> args) {
  std::ostringstream out, err;
  args.push_back("data");
  const Command command = ParseArguments(args, out, err);
  EXPECT_EQ(command.kind, Command::kBatch) << err.str();
  return command.batch;
}

// The JSON of a file without what only names or labels: the numbers.
Json Numbers(const std::vector<std::string>& args, const std::string& file) {
  BatchOptions options = Options(args);
  options.format = OutputFormat::kJson;
  const BatchRun run = Batch(options, {{"data", file}});
  EXPECT_EQ(run.status, 0) << run.err;
  Json j = Json::parse(run.out);
  EXPECT_EQ(run.err, "");  // no warning
  for (const char* key : {"file", "layout", "rater_names", "class_labels", "row_names"}) j["input"].erase(key);
  std::function<void(Json&)> dropLabels = [&](Json& node) {
    if (node.is_object()) {
      for (const char* key : {"label", "name", "name2"}) node.erase(key);  // the raters' names in pairs and raters
    }
    if (!node.is_structured()) return;
    for (Json& child : node) dropLabels(child);
  };
  dropLabels(j);
  return j;
}

// Krippendorff's (2011) data as a researcher's tools export them (R, pandas,
// spreadsheets, annotation tools), each read with the options doc/batch.md
// gives it: each file gives the numbers of the plain numeric file.
TEST(BatchTest, ExportedFilesGiveThePlainNumbers) {
  const std::vector<std::vector<std::string>> units = {
      {"1", "1", ".", "1"}, {"2", "2", "3", "2"}, {"3", "3", "3", "3"}, {"3", "3", "3", "3"},
      {"2", "2", "2", "2"}, {"1", "2", "3", "4"}, {"4", "4", "4", "4"}, {"1", "1", "2", "1"},
      {"2", "2", "2", "2"}, {".", "5", "5", "5"}, {".", ".", "1", "1"}, {".", ".", "3", "."}};
  const char* const letters[] = {"", "a", "b", "c", "d", "e"};
  auto write = [&](const std::string& head, const std::function<std::string(std::size_t, const std::string&)>& cell,
                   const std::function<std::string(std::size_t)>& id) {
    std::string text = head;
    for (std::size_t u = 0; u < units.size(); ++u) {
      text += id(u);
      for (std::size_t r = 0; r < 4; ++r) text += (r > 0 || !id(u).empty() ? "," : "") + cell(r, units[u][r]);
      text += "\n";
    }
    return text;
  };
  const auto none = [](std::size_t) { return std::string(); };
  const auto same = [](std::size_t, const std::string& x) { return x; };
  const auto na = [](std::size_t, const std::string& x) { return x == "." ? "NA" : x; };
  const auto empty = [](std::size_t, const std::string& x) { return x == "." ? "" : x; };
  const auto decimal = [](std::size_t, const std::string& x) { return x == "." ? "" : x + ".0"; };
  const auto number = [](std::size_t u) { return std::to_string(u + 1); };
  const auto quotedNumber = [](std::size_t u) { return "\"" + std::to_string(u + 1) + "\""; };
  // The same text with another separator, line end, byte-order mark, UTF-16.
  const auto swap = [](std::string text, char separator) {
    std::replace(text.begin(), text.end(), ',', separator);
    return text;
  };
  const auto crlf = [](const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  const auto utf16 = [](const std::string& text) {
    std::string out = "\xFF\xFE";
    for (const char c : text) out += std::string{c, '\0'};
    return out;
  };
  const std::string plain = write("", same, none);
  const std::string rCsv = write("\"\",\"A\",\"B\",\"C\",\"D\"\n", na, quotedNumber);
  const std::string pandas = write(",A,B,C,D\n", decimal, [](std::size_t u) { return std::to_string(u); });
  const std::string sheet = write("Unit no,Coder A,Coder B,Coder C,Coder D\n", empty,
                                  [](std::size_t u) { return "Unit " + std::to_string(u + 1); });
  std::string extra = "unit,A,B,when,C,D,note\n";
  for (std::size_t u = 0; u < units.size(); ++u) {
    const auto& x = units[u];
    extra += std::to_string(u + 1) + "," + x[0] + "," + x[1] + ",2024-01-0" + std::to_string(u % 9 + 1) + "," + x[2] +
             "," + x[3] + ",\"seen, " + std::to_string(u) + "\"\n";
  }
  // Long files coder by coder, so that the coders come in their order.
  auto coderByCoder = [&](const std::string& head, const std::function<std::string(std::size_t, std::size_t)>& line) {
    std::string text = head;
    for (std::size_t r = 0; r < 4; ++r) {
      for (std::size_t u = 0; u < units.size(); ++u) text += line(u, r);
    }
    return text;
  };
  auto melted = [&](std::size_t u, std::size_t r) {
    return std::to_string(u + 1) + "," + "ABCD"[r] + "," + decimal(r, units[u][r]) + "\n";
  };
  const std::string melt = coderByCoder("unit,coder,value\n", melted);
  std::size_t row = 0;
  const std::string meltIndex =
      coderByCoder(",unit,coder,value\n", [&](std::size_t u, std::size_t r) { return std::to_string(row++) + "," + melted(u, r); });
  const std::string tool = coderByCoder("item,coder,label,created,comment\n", [&](std::size_t u, std::size_t r) {
    if (units[u][r] == ".") return std::string();
    const std::string comment = u % 3 == 0 ? "\"line one,\r\nline \"\"two\"\"\"" : "ok";
    return "item " + std::to_string(u + 1) + ",coder " + "ABCD"[r] + "," + letters[std::stoi(units[u][r])] +
           ",2024-05-01T10:00:00Z," + comment + "\n";
  });
  const std::string coderFirst = coderByCoder("coder,item,label\n", [&](std::size_t u, std::size_t r) {
    return units[u][r] == "." ? std::string()
                              : std::string("c") + "ABCD"[r] + ",i" + std::to_string(u + 1) + "," + units[u][r] + "\n";
  });
  std::string rLong = "\"\",\"unit\",\"coder\",\"code\"\n";
  for (std::size_t u : {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {
    for (std::size_t r = 0; r < 4; ++r) {
      if (units[u][r] == ".") continue;
      rLong += "\"" + std::to_string(++row) + "\",\"u" + std::to_string(u + 1) + "\",\"" + "ABCD"[r] + "\"," +
               units[u][r] + "\n";
    }
  }
  std::string longFile = "unit,coder,value\n";
  for (std::size_t u : {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {  // unit 2 first: the coders in order
    for (std::size_t r = 0; r < 4; ++r) {
      if (units[u][r] != ".") longFile += "u" + std::to_string(u) + ",\"coder " + "ABCD"[r] + "\"," + letters[std::stoi(units[u][r])] + "\n";
    }
  }
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string file;
  };
  const Case cases[] = {
      {"labels", {"--missing", "--labels"},
       write("", [&](std::size_t, const std::string& x) { return x == "." ? x : letters[std::stoi(x)]; }, none)},
      {"numbers as labels, 1 and 1.0", {"--missing", "--labels"},
       write("", [](std::size_t r, const std::string& x) { return r == 0 && x != "." ? x + ".0" : x; }, none)},
      {"a list of classes", {"--missing", "--classes", "1,2,3,4,5"}, plain},
      {"quoted", {"--missing"}, write("", [](std::size_t, const std::string& x) { return "\"" + x + "\""; }, none)},
      {"R's write.csv", {"--header", "--id", "--missing"}, rCsv},
      {"R's write.csv: row names under an empty header cell", {"--header", "--missing"}, rCsv},
      {"R's write.csv(row.names = FALSE)", {"--header", "--missing"}, write("\"A\",\"B\",\"C\",\"D\"\n", na, none)},
      {"R's write.table: blanks, no header cell for the row names", {"--header", "--missing"},
       swap(write("\"A\",\"B\",\"C\",\"D\"\n", na, quotedNumber), ' ')},
      {"R's write.table(sep = \"\\t\", quote = FALSE)", {"--header", "--missing"}, swap(write("A,B,C,D\n", na, number), '\t')},
      {"R's write.csv2", {"--header", "--missing"}, swap(rCsv, ';')},
      {"R's factors: quoted labels", {"--header", "--missing", "--labels"},
       write("\"\",\"A\",\"B\",\"C\",\"D\"\n", [](std::size_t, const std::string& x) { return x == "." ? "NA" : "\"" + x + "\""; },
             quotedNumber)},
      {"pandas' to_csv", {"--header", "--id", "--missing"}, pandas},
      {"pandas' to_csv: the index under an empty header cell", {"--header", "--missing"}, pandas},
      {"pandas' to_csv(sep=\"\\t\"): empty cells between tabs", {"--header", "--missing"}, swap(pandas, '\t')},
      {"pandas' to_csv(index=False)", {"--header", "--missing"}, write("A,B,C,D\n", decimal, none)},
      {"a spreadsheet: mark, CRLF, semicolons, blanks in names", {"--header", "--id", "--missing"},
       "\xEF\xBB\xBF" + crlf(swap(sheet, ';'))},
      {"a spreadsheet's Unicode text: UTF-16, tabs", {"--header", "--id", "--missing"}, utf16(crlf(swap(sheet, '\t')))},
      {"Stata: . for missing", {"--header", "--id", "--missing"}, write("unit,A,B,C,D\n", same, number)},
      {"more columns than raters", {"--header", "--id", "--missing", "--raters", "A,B,C,D"}, extra},
      {"the raters by number", {"--header", "--id", "--missing", "--raters", "2,3,5,6"}, extra},
      {"long, text labels", {"--long", "--header", "--labels"}, longFile},
      {"pandas' melt", {"--long", "--header", "--missing"}, melt},
      {"pandas' melt with its index", {"--long", "--header", "--missing"}, meltIndex},
      {"an annotation tool: more columns, line breaks in quotes", {"--long", "--header", "--labels", "--long-columns",
                                                                   "item,coder,label"}, tool},
      {"the coder first", {"--long", "--header", "--long-columns", "item,coder,label"}, coderFirst},
      {"the coder first, by numbers", {"--long", "--long-columns", "2,1,3"}, coderFirst.substr(coderFirst.find('\n') + 1)},
      {"R's write.csv of a long data frame", {"--long", "--header"}, rLong},
  };
  const Json expected = Numbers({"--missing"}, plain);
  EXPECT_NEAR(expected["coefficients"]["krippendorff_alpha"]["estimate"].get<double>(), 0.743, 5e-4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Numbers(c.args, c.file), expected);
  }
}

// Every reading rule of the batch command with its refusal: the options
// that would read the field are named.
TEST(BatchTest, RefusalsNameTheOptionThatReadsTheField) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string file;
    std::string err;  // after "zover: ERROR in file \"data\""
  };
  const Case cases[] = {
      {"text label", {}, "1,2\n2,yes\n", ", line 2, field 2: \"yes\" is not a class number from 1 to 1000; add --labels "
                                         "to use text labels as classes."},
      {"empty field", {}, "1,2\n2,\n", ", line 2, field 2: the field is empty; add --missing to read empty fields, "
                                      "NA and . as missing ratings."},
      {"empty field, long", {"--long"}, "a,x,1\na,y,\n", ", line 2, field 3: the field is empty; add --missing to "
                                                          "read empty fields, NA and . as missing ratings."},
      {"empty class, frequencies", {"-f"}, "1,,3\n", ", line 1, field 2: the field is empty."},
      {"a control byte shown", {}, std::string("1 2\n1 \x01x\n"), ", line 2, field 2: \"\\x01x\" is not a class number "
                                                                  "from 1 to 1000; add --labels to use text labels as "
                                                                  "classes."},
      {"not in the list", {"--classes", "a,b"}, "a,b\nb,c\n", ", line 2, field 2: \"c\" is not one of the classes "
                                                              "given by --classes."},
      {"quote inside a field", {}, "1,2\n1,2\"\n", ", line 2, field 2: a double quote inside a field that does not "
                                                 "start with one."},
      {"text after a quote", {}, "1,\"2\"3\n", ", line 1, field 2: text after the closing double quote."},
      {"quote not closed", {"--header"}, "\"a,b\n", ", line 1, field 1: the double quote that opens the field is "
                                                   "never closed."},
      {"empty rater name", {"--header"}, "A,,C\n1,2,3\n", ", line 1, field 2: the field is empty."},
      {"empty object label", {"--id", "--missing"}, "a,1,2\n,2,2\n", ", line 2, field 1: the field is empty."},
      // Slips that would give a wrong analysis: each refusal names the option that reads the file right.
      {"R's write.csv without --header", {}, "\"\",\"A\",\"B\"\n\"1\",1,NA\n\"2\",2,2\n",
       ", line 1: it looks like a header: \"A\" is not a number, and line 2 holds numbers; add --header to read it "
       "as names, or --no-header to read it as data."},
      {"a header of labels", {"--labels"}, "A,B\nx,y\ny,y\nx,x\n",
       ", line 1: it looks like a header: none of its labels occurs again in its column; add --header to read it as "
       "names, or --no-header to read it as data."},
      {"R's write.table without --header", {"--labels", "--missing"}, "\"A\" \"B\"\n\"1\" \"x\" NA\n",
       ", line 1: it looks like a header: it has one field fewer than the line below it, as R writes a header above "
       "row names; add --header to read it as names, or --no-header to read it as data."},
      {"a long header without --header", {"--long"}, "item,coder,score\na,x,1\n",
       ", line 1: it looks like a header: \"score\" is not a number, and line 2 holds one; add --header to read it as "
       "names, or --no-header to read it as data."},
      {"a long header of labels", {"--long", "--labels"}, "item,coder,label\na,x,p\na,y,q\nb,x,p\nb,y,p\n",
       ", line 1: it looks like a header: its object, rater and label occur on no other line; add --header to read "
       "it as names, or --no-header to read it as data."},
      {"R's NA", {"--header", "--id"}, "\"\",\"A\",\"B\"\n\"1\",1,NA\n", ", line 2, field 3: \"NA\" marks a missing "
       "rating; add --missing to read empty fields, NA and . as missing ratings."},
      {"R's NA among labels", {"--labels", "--long"}, "a,x,\"NA\"\na,y,NA\n", ", line 2, field 3: \"NA\" marks a "
       "missing rating; add --missing to read empty fields, NA and . as missing ratings."},
      {"ordered text labels", {"--labels", "--weights", "linear"}, "low,very high\nmedium,low\nlow,low\n",
       ": the classes are text labels, whose order ordered classes (--weights, --alpha-level) need: give it with "
       "--classes, as --classes 'low,very high,medium' in the order of the scale (here the labels as the file first "
       "holds them)."},
      {"two separators", {}, "a,b;c\n", ", line 1: it holds more than one separator outside double quotes (commas "
       "and semicolons); choose the separator with --sep ',', ';', tab or blank."},
      {"blanks below a line of commas", {"--header"}, "A,B\n1 2\n", ", line 2: 1 fields where the first line has 2, "
       "as the first line makes the comma the separator, while blanks separate this line's fields; choose the "
       "separator with --sep ',', ';', tab or blank."},
      {"text in the first column", {"--header"}, "id,A,B\np1,1,2\n", ", line 2, field 1: \"p1\" is not a class "
       "number from 1 to 1000; add --id if the first column names the objects, or --labels to use text labels as "
       "classes."},
      {"a long file of more columns", {"--long", "--header"}, "item,coder,label,time\na,x,1,t\n",
       ", line 1: 4 fields where the long layout has 3 (object, rater, rating): the header holds \"item\", "
       "\"coder\", \"label\", \"time\"; name the object's, the rater's and the rating's columns with "
       "--long-columns OBJECT,RATER,RATING, by the header's names (with --header) or by their numbers from 1."},
      {"a column no header names", {"--long", "--header", "--long-columns", "item,rater,label"},
       "item,coder,label,time\na,x,1,t\n", ": --long-columns: no column is named \"rater\"; the header holds "
       "\"item\", \"coder\", \"label\", \"time\"."},
      {"two labels of one coder", {"--long", "--header", "--labels"}, "item,coder,label\nt1,x,pos\nt1,y,neg\n"
       "t2,x,pos\nt1,x,neu\n", ", line 5: object \"t1\" was already rated by \"x\" on line 2."},
      {"model data: NUL", {"-m"}, std::string("2 2 10 3 2 1 4 1 2\0garbage", 26),
       ", line 1, field 9: the disagreements of class 2, rater 2 must be a number not below 0."},
      {"model data: hexadecimal", {"-m"}, "0x2 2 10 3 2 1 4 1 2\n",
       ", line 1, field 1: K (the number of classes) must be a whole number from 2 to 1000."},
      {"model data: exponent", {"-m"}, "2 2 1e1 3 2 1 4 1 2\n",
       ", line 1, field 3: n (the number of objects) must be a whole number from 2 to 1000000000."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BatchRun run = Batch(Options(c.args), {{"data", c.file}});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zover: ERROR in file \"data\"" + c.err + "\n");
  }
}

// Labels in every output: the text's line after the report, JSON's
// class_labels and per-class label, CSV's last column.
TEST(BatchTest, LabelsInEveryOutput) {
  BatchOptions options = Options({"--labels"});
  const std::string file = "yes,no\nno,no\nmaybe,yes\nyes,yes\n";
  const std::string text = Batch(options, {{"data", file}}).out;
  EXPECT_NE(text.find("\n\n Classes: 1 = maybe, 2 = no, 3 = yes\n\n Agreement coefficients"), std::string::npos);
  options.format = OutputFormat::kJson;
  const Json j = Json::parse(Batch(options, {{"data", file}}).out);
  EXPECT_EQ(j["input"]["class_labels"], Json({"maybe", "no", "yes"}));
  EXPECT_EQ(j["model"]["final"]["classes"][2]["label"], "yes");
  EXPECT_EQ(j["kappa"]["fleiss"]["per_class"][0]["label"], "maybe");
  options.format = OutputFormat::kCsv;
  const std::string csv = Batch(options, {{"data", file}}).out;
  EXPECT_NE(csv.find("\nzover_agreement,2,,"), std::string::npos);
  EXPECT_EQ(csv.substr(csv.find("\nzover_agreement,2,,")).find(",no,") != std::string::npos, true);
  // A list of classes sets K, a class that nobody used included: Brennan-Prediger's
  // chance agreement is 1/K.
  BatchOptions listed = Options({"--classes", "maybe,no,yes,never"});
  listed.format = OutputFormat::kJson;
  const Json four = Json::parse(Batch(listed, {{"data", file}}).out);
  EXPECT_EQ(four["input"]["classes"], 4);
  const double pa = four["coefficients"]["percent_agreement"]["estimate"];
  EXPECT_DOUBLE_EQ(four["coefficients"]["brennan_prediger"]["estimate"].get<double>(), (4 * pa - 1) / 3);
  // Numbers by their exact value; a label's control bytes escaped in the text.
  BatchOptions digits = Options({"--labels", "--no-header"});
  digits.format = OutputFormat::kJson;
  const Json exact = Json::parse(
      Batch(digits, {{"data", "12345678901234567,12345678901234568\n1,1.0000000000000000001\n2,2.0\n"}}).out);
  EXPECT_EQ(exact["input"]["class_labels"],
            Json({"1", "1.0000000000000000001", "2", "12345678901234567", "12345678901234568"}));
  EXPECT_EQ(exact["raw_agreement"], 1.0 / 3);
  const std::string escaped = Batch(Options({"--labels"}), {{"data", "\"\x1B[2J\",b\nb,b\n\"\x1B[2J\",\"\x1B[2J\"\n"}}).out;
  EXPECT_NE(escaped.find("Classes: 1 = \\x1B[2J, 2 = b\n"), std::string::npos);
  EXPECT_EQ(escaped.find('\x1B'), std::string::npos);
}

// What the data may not mean as read: on standard error, and in every output
// that a script or a reader sees; nothing of it without a warning.
// A CSV cell in quotes, its own quotes doubled.
std::string Quoted(const std::string& text) {
  std::string cell = "\"";
  for (const char c : text) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
  return cell + "\"";
}

TEST(BatchTest, WarningsInEveryOutput) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string file;
    std::string warning;
  };
  std::string coderFirst = "coder,item,label\n", ids = "subject,A,B\n";
  for (int c = 1; c <= 3; ++c) {
    for (int i = 1; i <= 4; ++i) coderFirst += "c" + std::to_string(c) + ",i" + std::to_string(i) + "," + "xy"[(c + i) % 2] + "\n";
  }
  for (int i = 1; i <= 12; ++i) ids += std::to_string(i) + "," + std::to_string(i % 3 + 1) + "," + std::to_string(i % 2 + 1) + "\n";
  const Case cases[] = {
      {"the coder first", {"--long", "--header", "--labels"}, coderFirst,
       "more raters (4) than objects (3): are the columns object, rater, rating? See --long-columns"},
      {"the objects' numbers as a rater", {"--header"}, ids,
       "the first column (\"subject\") holds a different value on each of its 12 lines, as the objects' names would: "
       "if it names the objects, add --id"},
      {"a column named by a number", {"--header", "--raters", "2,x"}, "x,1,2\n1,1,2\n2,2,2\n1,1,1\n",
       "column 3, named \"2\", is read for --raters 2, not column 2"},
      {"one rating per line read as a wide file", {"--header", "--id", "--labels"},
       "item,coder,label\ni1,ann,yes\ni1,bob,no\ni2,ann,no\ni2,bob,no\n",
       "the labels of column 2 (\"coder\") occur in no other column: are the columns ratings on one scale? A file "
       "of one rating per line needs --long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BatchOptions options = Options(c.args);
    const BatchRun text = Batch(options, {{"data", c.file}});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.err, "zover: warning: " + c.warning + ".\n");
    options.format = OutputFormat::kJson;
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(Batch(options, {{"data", c.file}}).out);
    EXPECT_EQ(j["warnings"], nlohmann::ordered_json({c.warning}));
    EXPECT_EQ(std::next(j.items().begin(), 2).key(), "warnings");  // right after "input"
    options.format = OutputFormat::kCsv;
    const std::string csv = Batch(options, {{"data", c.file}}).out;
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, csv.find("\nobjects,") - csv.find('\n')),
              "warning,,,,,,,,,," + (c.warning.find('"') != std::string::npos || c.warning.find(',') != std::string::npos
                                         ? Quoted(c.warning)
                                         : c.warning) + ",,,,\n");
    options.format = OutputFormat::kHtml;
    const std::string page = Batch(options, {{"data", c.file}}).out;
    EXPECT_LT(page.find("<aside class=\"warnings\""), page.find("<header>"));
  }
  BatchOptions options = Options({});
  options.format = OutputFormat::kJson;
  const BatchRun quiet = Batch(options, {{"data", "1 2\n2 2\n1 1\n"}});
  EXPECT_EQ(quiet.err, "");
  EXPECT_FALSE(Json::parse(quiet.out).contains("warnings"));
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// The coefficients of ordered classes: the text's row of each is its JSON
// object rounded, the CSV's cells are the JSON's numbers, and the weights
// come from the labels' values.
TEST(BatchTest, OrderedClassesInEveryOutput) {
  const std::string file = "0,1\n1,1\n4,4\n1,0\n4,1\n0,0\n1,1\n";
  BatchOptions options = Options({"--labels", "--weights", "linear", "--alpha-level", "interval,nominal"});
  const std::string text = Batch(options, {{"data", file}}).out;
  options.format = OutputFormat::kJson;
  const Json j = Json::parse(Batch(options, {{"data", file}}).out);
  options.format = OutputFormat::kCsv;
  std::map<std::string, std::vector<std::string>> csv;
  std::istringstream lines(Batch(options, {{"data", file}}).out);
  for (std::string line; std::getline(lines, line);) {
    const auto cells = CsvCells(line);
    csv[cells[0] + "/" + cells[1]] = cells;
  }
  EXPECT_EQ(j["ordered"]["class_values"], Json({0.0, 1.0, 4.0}));
  EXPECT_EQ(j["weights"]["matrix"][0], Json({1.0, 0.75, 0.0}));
  EXPECT_EQ(csv["class_value/3"][3], "4.0");

  // A row of the text table: the label in 33 columns, then each value in 9.
  auto row = [](const std::string& label, const Json& c) {
    std::string line = "\n " + label;
    line.resize(34, ' ');
    const Json ci = c.value("ci95", Json());
    const Json values[] = {c["estimate"], c.value("se", Json()), ci.is_null() ? Json() : ci[0],
                           ci.is_null() ? Json() : ci[1], c.value("z", Json()), c.value("p", Json())};
    for (const Json& v : values) {
      const bool small = &v == &values[5] && v.is_number() && v < 1e-4;
      const std::string cell = v.is_null() ? "--" : small ? "<0.0001" : Fixed4(v.get<double>());
      line += std::string(9 - cell.size(), ' ') + cell;
    }
    return line;
  };
  const std::pair<const char*, const char*> measures[] = {
      {"cohen_kappa_weighted", "  weighted"},         {"percent_agreement_weighted", "  weighted"},
      {"brennan_prediger_weighted", "  weighted"},    {"gwet_ac2", "  weighted: Gwet's AC2"},
      {"fleiss_general_weighted", "  weighted"},      {"krippendorff_alpha", "Krippendorff's alpha"},
      {"krippendorff_alpha_interval", "  interval"},
  };
  auto cell = [](const Json& v) { return v.is_null() ? std::string() : v.dump(); };
  for (const auto& [measure, label] : measures) {
    SCOPED_TRACE(measure);
    const Json& c = j["coefficients"][measure];
    ASSERT_TRUE(c["estimate"].is_number());
    ASSERT_TRUE(c["ci95"].is_array());
    EXPECT_NE(text.find(row(label, c)), std::string::npos) << row(label, c) << text;
    const auto& r = csv[std::string(measure) + "/"];
    ASSERT_EQ(r.size(), 15u);
    EXPECT_EQ(r[3], cell(c["estimate"]));
    EXPECT_EQ(r[5], cell(c["ci95"][0]));
    EXPECT_EQ(r[7], cell(c.value("se0", Json())));
    EXPECT_EQ(r[9], cell(c.value("p", Json())));
  }
  EXPECT_NE(text.find("\n The Zover model, the kappas, H2 and the unweighted rows treat the classes as\n nominal."),
            std::string::npos);
  // Without --alpha-level, --bootstrap alone gives the nominal alpha its
  // interval; --bootstrap 0 none.
  BatchOptions bootstrap = Options({"--labels", "--bootstrap", "200"});
  bootstrap.format = OutputFormat::kJson;
  EXPECT_TRUE(Json::parse(Batch(bootstrap, {{"data", file}}).out)["coefficients"]["krippendorff_alpha"]["ci95"].is_array());
  bootstrap = Options({"--labels", "--bootstrap", "0", "--alpha-level", "ordinal"});
  bootstrap.format = OutputFormat::kJson;
  const Json none = Json::parse(Batch(bootstrap, {{"data", file}}).out);
  EXPECT_TRUE(none["coefficients"]["krippendorff_alpha_ordinal"]["ci95"].is_null());
  EXPECT_TRUE(none["ordered"]["bootstrap"].is_null());
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// What the outputs say of their intervals and of a fit not to be read as it
// stands: the level named once where it is not 95 %, every normal interval
// shortened by z(0.90)/z(0.95), objects used on every coefficient, and a
// refit swamped by its pseudo-objects marked with the first fit's value.
TEST(BatchTest, IntervalsAndCautionsInEveryOutput) {
  const std::string file = "1 1 2\n2 2 2\n3 3 1\n1 2 1\n2 2 3\n3 3 3\n1 1 1\n2 3 2\n";
  BatchOptions usual = Options({"--format", "json"});
  usual.format = OutputFormat::kJson;
  BatchOptions narrow = Options({"--level", "0.9"});
  narrow.format = OutputFormat::kJson;
  const Json a = Json::parse(Batch(usual, {{"data", file}}).out);
  const Json b = Json::parse(Batch(narrow, {{"data", file}}).out);
  EXPECT_FALSE(a.contains("level"));
  EXPECT_EQ(b["level"], 0.9);
  const Json& wide = a["coefficients"]["gwet_ac1"];
  const Json& short_ = b["coefficients"]["gwet_ac1"];
  ASSERT_TRUE(wide["ci95"].is_array() && short_["ci"].is_array());
  const double half = (wide["ci95"][1].get<double>() - wide["ci95"][0].get<double>()) / 2;
  EXPECT_NEAR((short_["ci"][1].get<double>() - short_["ci"][0].get<double>()) / 2, half * 1.6448536269514722 /
              1.959963984540054, 1e-12);
  EXPECT_EQ(a["kappa"]["fleiss"]["objects_used"], 8);
  EXPECT_EQ(a["coefficients"]["krippendorff_alpha"]["objects_used"], 8);
  narrow.format = OutputFormat::kCsv;
  const std::string csv = Batch(narrow, {{"data", file}}).out;
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "measure,class,rater,estimate,se,ci_low,ci_high,se0,z,p,class_label,objects_used,rater2,class2,count");
  EXPECT_NE(csv.find("\nlevel,,,0.9,"), std::string::npos);

  // Fleiss' diagnoses: a refit on 7812.5 pseudo-objects against 30 objects.
  std::ifstream diagnoses(std::string(ZOVER_TEST_DATA_DIR) + "/../examples/fleiss_diagnoses.txt");
  const std::string text((std::istreambuf_iterator<char>(diagnoses)), std::istreambuf_iterator<char>());
  const Json f = Json::parse(Batch(usual, {{"data", text}}).out);
  const Json& overall = f["model"]["final"]["overall"];
  EXPECT_NE(overall["caution"].get<std::string>().find("7812.5 pseudo-objects"), std::string::npos);
  EXPECT_EQ(overall["instead"], f["model"]["first_fit"]["overall"]);
  EXPECT_EQ(f["model"]["stable"], true);
  BatchOptions page = Options({});
  page.format = OutputFormat::kHtml;
  const std::string html = Batch(page, {{"data", text}}).out;
  EXPECT_NE(html.find("Grey, hollow: Zover overall agreement"), std::string::npos);
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// Who disagrees: each pair's table and each rater's class counts in the CSV
// are the JSON's, the table's cells add up to the pair's objects, the
// adjudication list comes most disputed first in JSON, CSV and text, and a
// file without --objects has no object column.
TEST(BatchTest, PairsRatersAndObjectsInEveryOutput) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string file;
    std::size_t pairs;
  };
  const std::vector<Case> cases = {
      {"raw, names, a missing rating", {"--header", "--missing", "--objects"},
       "a,b,c\n1,1,2\n2,2,2\n1,.,1\n3,1,3\n2,2,1\n", 3},
      {"long, labels", {"--long", "--labels", "--objects"},
       "o1,x,yes\no1,y,no\no2,x,no\no2,y,no\no3,x,yes\no3,y,yes\n", 1},
      {"raw, without --objects", {}, "1 2 2 1\n2 2 2 2\n1 1 2 1\n", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BatchOptions options = Options(c.args);
    options.format = OutputFormat::kJson;
    const Json j = Json::parse(Batch(options, {{"data", c.file}}).out);
    ASSERT_EQ(j["pairs"].size(), c.pairs);
    options.format = OutputFormat::kCsv;
    std::istringstream csv(Batch(options, {{"data", c.file}}).out);
    std::string line;
    std::getline(csv, line);
    const bool objects = j.contains("objects");
    EXPECT_EQ(line.size() > 7 && line.substr(line.size() - 7) == ",object", objects) << line;
    std::map<std::string, long long> cells;  // pair_table and rater_class counts by rater, rater2, class, class2
    std::vector<std::string> order;          // the objects of object_agreeing_pairs rows
    while (std::getline(csv, line)) {
      const auto v = CsvCells(line);
      if (v[0] == "pair_table" || v[0] == "rater_class") {
        cells[v[0] + v[2] + "/" + v[12] + "/" + v[1] + "/" + v[13]] = std::stoll(v[14]);
      }
      if (v[0] == "object_agreeing_pairs") order.push_back(v[15]);
    }
    // A rater as the CSV names it: by its name, or its number.
    auto rater = [](const Json& r, const char* name, const char* number) {
      return r[name].is_null() ? std::to_string(r[number].get<int>()) : r[name].get<std::string>();
    };
    for (const Json& p : j["pairs"]) {
      long long total = 0;
      for (std::size_t k = 0; k < p["table"].size(); ++k) {
        for (std::size_t l = 0; l < p["table"][k].size(); ++l) {
          const long long n = p["table"][k][l];
          total += n;
          const std::string key = "pair_table" + rater(p, "name", "rater") + "/" + rater(p, "name2", "rater2") + "/" +
                                  std::to_string(k + 1) + "/" + std::to_string(l + 1);
          EXPECT_EQ(cells.count(key) ? cells[key] : 0, n) << key;
        }
      }
      EXPECT_EQ(total, p["objects"].get<long long>());
    }
    for (const Json& r : j["raters"]) {
      for (std::size_t k = 0; k < r["counts"].size(); ++k) {
        const std::string key = "rater_class" + rater(r, "name", "rater") + "//" + std::to_string(k + 1) + "/";
        EXPECT_EQ(cells[key], r["counts"][k].get<long long>()) << key;
      }
    }
    if (!objects) continue;
    std::vector<std::string> listed;
    double last = -1;
    for (const Json& o : j["objects"]) {
      listed.push_back(o["object"].is_null() ? "line " + std::to_string(o["line"].get<int>())
                                             : o["object"].get<std::string>());
      if (o["agreeing_pairs"].is_null()) continue;
      EXPECT_GE(o["agreeing_pairs"].get<double>(), last);
      last = o["agreeing_pairs"];
    }
    EXPECT_EQ(order, listed);
    options.format = OutputFormat::kText;
    const std::string text = Batch(options, {{"data", c.file}}).out;
    EXPECT_LT(text.find("\n " + listed.front() + " "), text.find("\n " + listed.back() + " ")) << text;
  }
}

}  // namespace
}  // namespace zover
