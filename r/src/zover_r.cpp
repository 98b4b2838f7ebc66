// The engine's door for R. The package's R code (R/zover.R) turns
// agreement()'s arguments into the engine's fields by name and its data into
// a file's path or a list of columns; this file reads and analyses them and
// prints the results in every output of the command line. A Results lives
// behind an external pointer, freed with it.

#include <Rcpp.h>

#include <R_ext/Rdynload.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/column_source.h"
#include "console/system_io.h"
#include "output/batch_output.h"

namespace zover {
namespace {

using Setter = std::function<void(SEXP, ReadOptions&, Request&)>;

std::uint64_t Seed(SEXP value) {
  const std::string text = Rcpp::as<std::string>(value);
  errno = 0;
  char* end = nullptr;
  const unsigned long long seed = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || text.find('-') != std::string::npos) {
    Rcpp::stop("seed: a whole number from 0 to 18446744073709551615");
  }
  return seed;
}

// The engine's fields by the names agreement()'s table gives them: a new
// option of the engine is one line here.
const std::map<std::string, Setter>& Fields() {
  static const std::map<std::string, Setter> fields = {
      {"layout", [](SEXP v, ReadOptions& r, Request&) { r.layout = static_cast<Layout>(Rcpp::as<int>(v)); }},
      {"header", [](SEXP v, ReadOptions& r, Request&) { r.header = Rcpp::as<bool>(v); }},
      {"id", [](SEXP v, ReadOptions& r, Request&) { r.id = Rcpp::as<bool>(v); }},
      {"missing", [](SEXP v, ReadOptions& r, Request&) { r.missing = Rcpp::as<bool>(v); }},
      {"labels", [](SEXP v, ReadOptions& r, Request&) { r.labels = Rcpp::as<bool>(v); }},
      {"classes", [](SEXP v, ReadOptions& r, Request&) { r.classes = Rcpp::as<std::vector<std::string>>(v); }},
      {"weights", [](SEXP v, ReadOptions&, Request& q) { q.weights = static_cast<WeightScheme>(Rcpp::as<int>(v)); }},
      {"levels",
       [](SEXP v, ReadOptions&, Request& q) {
         q.levels.clear();
         for (const int level : Rcpp::as<std::vector<int>>(v)) q.levels.push_back(static_cast<AlphaLevel>(level));
       }},
      {"samples", [](SEXP v, ReadOptions&, Request& q) { q.samples = static_cast<long>(Rcpp::as<double>(v)); }},
      {"seed", [](SEXP v, ReadOptions&, Request& q) { q.seed = Seed(v); }},
      {"level", [](SEXP v, ReadOptions&, Request& q) { q.level = Rcpp::as<double>(v); }},
      {"method", [](SEXP v, ReadOptions&, Request& q) { q.method = static_cast<BootstrapMethod>(Rcpp::as<int>(v)); }},
      {"separator", [](SEXP v, ReadOptions& r, Request&) { r.separator = static_cast<Separator>(Rcpp::as<int>(v)); }},
      {"no_header", [](SEXP v, ReadOptions& r, Request&) { r.noHeader = Rcpp::as<bool>(v); }},
      {"raters", [](SEXP v, ReadOptions& r, Request&) { r.raters = Rcpp::as<std::vector<std::string>>(v); }},
      {"long_columns",
       [](SEXP v, ReadOptions& r, Request&) { r.longColumns = Rcpp::as<std::vector<std::string>>(v); }},
      {"pairs", [](SEXP v, ReadOptions&, Request& q) { q.maxPairs = Rcpp::as<bool>(v) ? Request::kEveryPair : Request::kDefaultPairs; }},
      {"objects", [](SEXP v, ReadOptions& r, Request&) { r.objects = Rcpp::as<bool>(v); }},
      {"threads", [](SEXP v, ReadOptions& r, Request& q) { r.threads = q.threads = static_cast<int>(Rcpp::as<double>(v)); }},
  };
  return fields;
}

void Finalize(SEXP pointer) {
  delete static_cast<Results*>(R_ExternalPtrAddr(pointer));
  R_ClearExternalPtr(pointer);
}

SEXP Run(DataSource& source, const std::string& name, const ReadOptions& read, const Request& request) {
  ReadOptions reading = read;
  reading.ordered = OrderedAnalysis(request);
  const Dataset data = ReadData(source, name, reading);
  if (!data.ok()) Rcpp::stop(data.error);
  auto results = std::make_unique<Results>(Analyse(data, request));
  SEXP pointer = PROTECT(R_MakeExternalPtr(results.release(), R_NilValue, R_NilValue));
  R_RegisterCFinalizerEx(pointer, Finalize, TRUE);
  UNPROTECT(1);
  return pointer;
}

const Results& Of(SEXP pointer) {
  const void* results = TYPEOF(pointer) == EXTPTRSXP ? R_ExternalPtrAddr(pointer) : nullptr;
  if (results == nullptr) Rcpp::stop("these results were saved and loaded again; run agreement() again");
  return *static_cast<const Results*>(results);
}

void Options(SEXP options, ReadOptions& read, Request& request) {
  const Rcpp::List list(options);
  const Rcpp::CharacterVector names = list.names();
  for (R_xlen_t i = 0; i < list.size(); ++i) {
    const auto field = Fields().find(Rcpp::as<std::string>(names[i]));
    if (field == Fields().end()) Rcpp::stop("no field " + Rcpp::as<std::string>(names[i]));
    field->second(list[i], read, request);
  }
}

// The CSV's cells, split as a reader of CSV splits them (quoted cells with
// doubled quotes).
std::vector<std::vector<std::string>> Cells(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> line;
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',' || c == '\n') {
      line.push_back(std::move(cell));
      cell.clear();
      if (c == '\n') lines.push_back(std::move(line)), line.clear();
    } else {
      cell += c;
    }
  }
  return lines;
}

}  // namespace
}  // namespace zover

using namespace zover;

extern "C" {

SEXP zover_analyse_file(SEXP path, SEXP name, SEXP options) {
  BEGIN_RCPP
  ReadOptions read;
  Request request;
  Options(options, read, request);
  std::string why;
  const std::unique_ptr<DataSource> file = OpenDataFile(Rcpp::as<std::string>(path), &why);
  if (!file) Rcpp::stop("cannot open " + Rcpp::as<std::string>(path) + ": " + why);
  return Run(*file, Rcpp::as<std::string>(name), read, request);
  END_RCPP
}

// columns: a list of lists, each with a name and either numbers (double) or
// codes (integer, from 1) with their texts.
SEXP zover_analyse_table(SEXP table, SEXP rows, SEXP header, SEXP name, SEXP options) {
  BEGIN_RCPP
  ReadOptions read;
  Request request;
  Options(options, read, request);
  std::vector<Column> columns;
  const Rcpp::List list(table);
  const auto count = static_cast<std::size_t>(Rcpp::as<double>(rows));
  for (R_xlen_t i = 0; i < list.size(); ++i) {
    const Rcpp::List entry(list[i]);
    Column& column = columns.emplace_back();
    column.name = Rcpp::as<std::string>(entry["name"]);
    SEXP values = entry.containsElementNamed("numbers") ? SEXP(entry["numbers"]) : SEXP(entry["codes"]);
    if (static_cast<std::size_t>(Rf_xlength(values)) != count) Rcpp::stop("a column is not of the table's length");
    if (TYPEOF(values) == REALSXP) {
      column.numbers = REAL(values);
    } else if (TYPEOF(values) == INTSXP) {
      column.codes = INTEGER(values);
      column.codeBase = 1;
      column.texts = Rcpp::as<std::vector<std::string>>(entry["texts"]);
    } else {
      Rcpp::stop("a column is neither numbers nor codes");
    }
  }
  const std::string problem = ColumnProblem(columns);
  if (!problem.empty()) Rcpp::stop(problem);
  ColumnSource source(std::move(columns), count, Rcpp::as<bool>(header));
  return Run(source, Rcpp::as<std::string>(name), read, request);
  END_RCPP
}

// One of the command line's outputs: "text", "table", "json", "csv", "html"
// or "svg".
SEXP zover_print(SEXP pointer, SEXP format) {
  BEGIN_RCPP
  static const std::map<std::string, void (*)(const Results&, std::ostream&)> printers = {
      {"text", PrintBatchText}, {"table", PrintCoefficientTable}, {"json", PrintJson},
      {"csv", PrintCsv},        {"html", PrintHtml},              {"svg", PrintSvg}};
  const Results& results = Of(pointer);
  std::ostringstream out;
  printers.at(Rcpp::as<std::string>(format))(results, out);
  return Rcpp::wrap(Rcpp::String(out.str(), CE_UTF8));
  END_RCPP
}

// The CSV's table as columns: texts, the class as an integer, and every
// number read back with strtod, the very double that the CSV printed.
SEXP zover_rows(SEXP pointer) {
  BEGIN_RCPP
  std::ostringstream out;
  PrintCsv(Of(pointer), out);
  const std::vector<std::vector<std::string>> lines = Cells(out.str());
  const std::vector<std::string>& header = lines.at(0);
  const std::size_t count = lines.size() - 1;
  Rcpp::List columns(header.size());
  for (std::size_t c = 0; c < header.size(); ++c) {
    const std::string& name = header[c];
    const bool text =
        name == "measure" || name == "rater" || name == "class_label" || name == "rater2" || name == "object";
    const bool whole = name == "class" || name == "objects_used" || name == "class2" || name == "count";
    if (text) {
      Rcpp::CharacterVector values(count);
      for (std::size_t i = 0; i < count; ++i) {
        const std::string& cell = lines[i + 1].at(c);
        values[i] = cell.empty() ? Rcpp::String(NA_STRING) : Rcpp::String(cell, CE_UTF8);
      }
      columns[c] = values;
    } else if (whole) {
      Rcpp::IntegerVector values(count);
      for (std::size_t i = 0; i < count; ++i) {
        const std::string& cell = lines[i + 1].at(c);
        values[i] = cell.empty() ? NA_INTEGER : std::atoi(cell.c_str());
      }
      columns[c] = values;
    } else {
      Rcpp::NumericVector values(count);
      for (std::size_t i = 0; i < count; ++i) {
        const std::string& cell = lines[i + 1].at(c);
        values[i] = cell.empty() ? NA_REAL : std::strtod(cell.c_str(), nullptr);
      }
      columns[c] = values;
    }
  }
  columns.names() = Rcpp::wrap(header);
  return columns;
  END_RCPP
}

// What the data may not mean as read.
SEXP zover_warnings(SEXP pointer) {
  BEGIN_RCPP
  return Rcpp::wrap(Of(pointer).input.warnings);
  END_RCPP
}

// Texts read as numbers with strtod, as the package reads the CSV's: the
// tests read the program's CSV by it and compare with identical(), bit for
// bit (R's own reader of numbers is not always correctly rounded).
SEXP zover_numbers(SEXP texts) {
  BEGIN_RCPP
  const Rcpp::CharacterVector cells(texts);
  Rcpp::NumericVector numbers(cells.size());
  for (R_xlen_t i = 0; i < cells.size(); ++i) {
    numbers[i] = Rcpp::CharacterVector::is_na(cells[i]) || cells[i] == "" ? NA_REAL
                                                                          : std::strtod(cells[i], nullptr);
  }
  return numbers;
  END_RCPP
}

static const R_CallMethodDef kMethods[] = {
    {"zover_analyse_file", reinterpret_cast<DL_FUNC>(&zover_analyse_file), 3},
    {"zover_analyse_table", reinterpret_cast<DL_FUNC>(&zover_analyse_table), 5},
    {"zover_print", reinterpret_cast<DL_FUNC>(&zover_print), 2},
    {"zover_rows", reinterpret_cast<DL_FUNC>(&zover_rows), 1},
    {"zover_numbers", reinterpret_cast<DL_FUNC>(&zover_numbers), 1},
    {"zover_warnings", reinterpret_cast<DL_FUNC>(&zover_warnings), 1},
    {nullptr, nullptr, 0}};

void R_init_zover(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kMethods, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}

}  // extern "C"
