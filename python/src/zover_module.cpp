// zover._zover: the engine's door for Python. The package (zover/__init__.py)
// turns analyse()'s arguments into the engine's ReadOptions and Request and
// its data into a file's path or a table of columns; this module reads and
// analyses them, with the interpreter's lock released, and prints the
// results in every output of the command line.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/column_source.h"
#include "console/system_io.h"
#include "output/batch_output.h"

namespace py = pybind11;

namespace zover {
namespace {

// A data set the engine refused: zover.InputError, with the engine's one line.
struct InputFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A file that could not be opened: OSError.
struct OpenFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The results of one analysis, printed on demand.
struct Analysis {
  Results results;

  std::string Print(void (*printer)(const Results&, std::ostream&)) const {
    std::ostringstream out;
    printer(results, out);
    return out.str();
  }
};

std::shared_ptr<Analysis> Run(DataSource& source, const std::string& name, const ReadOptions& read,
                              const Request& request) {
  ReadOptions reading = read;
  reading.ordered = OrderedAnalysis(request);
  reading.threads = request.threads;
  const Dataset data = ReadData(source, name, reading);
  if (!data.ok()) throw InputFault(data.error);
  auto analysis = std::make_shared<Analysis>();
  analysis->results = Analyse(data, request);
  return analysis;
}

std::shared_ptr<Analysis> AnalyseFile(const std::string& path, const std::string& name, const ReadOptions& read,
                                      const Request& request) {
  py::gil_scoped_release unlocked;
  std::string why;
  const std::unique_ptr<DataSource> file = OpenDataFile(path, &why);
  if (!file) throw OpenFault(path + ": " + why);
  return Run(*file, name, read, request);
}

// Columns as the package hands them over: (name, values), the values a
// one-dimensional array of float64 or int64, or (codes, texts, base) with
// int32 codes.
std::shared_ptr<Analysis> AnalyseTable(const py::list& table, std::size_t rows, bool header, const std::string& name,
                                       const ReadOptions& read, const Request& request) {
  std::vector<Column> columns;
  std::vector<py::array> arrays;  // the values, held while the lock is released
  // A column's values, read in place (a column of a 2-D array has a stride).
  auto values = [&](const py::object& object, Column& column, auto* type) -> const auto* {
    using T = std::remove_pointer_t<decltype(type)>;
    if (!py::isinstance<py::array_t<T>>(object)) return static_cast<const T*>(nullptr);
    const auto array = py::reinterpret_borrow<py::array_t<T>>(object);
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != rows || array.strides(0) % sizeof(T) != 0) {
      throw std::invalid_argument("a column is not an array of the table's rows");
    }
    column.stride = array.strides(0) / static_cast<py::ssize_t>(sizeof(T));
    arrays.push_back(array);
    return array.data();
  };
  for (const py::handle item : table) {
    const auto entry = item.cast<py::tuple>();
    Column& column = columns.emplace_back();
    column.name = entry[0].cast<std::string>();
    const py::object data = entry[1];
    if (py::isinstance<py::tuple>(data)) {
      const auto coded = data.cast<py::tuple>();
      column.codes = values(coded[0], column, static_cast<std::int32_t*>(nullptr));
      column.texts = coded[1].cast<std::vector<std::string>>();
      column.codeBase = coded[2].cast<std::int32_t>();
    } else {
      column.numbers = values(data, column, static_cast<double*>(nullptr));
      if (column.numbers == nullptr) column.integers = values(data, column, static_cast<std::int64_t*>(nullptr));
    }
    if (column.numbers == nullptr && column.integers == nullptr && column.codes == nullptr) {
      throw std::invalid_argument("a column is neither float64, int64 nor coded");
    }
  }
  const std::string problem = ColumnProblem(columns);
  if (!problem.empty()) throw InputFault(problem);
  py::gil_scoped_release unlocked;
  ColumnSource source(std::move(columns), rows, header);
  return Run(source, name, read, request);
}

using Value = std::optional<double>;
Value Finite(const std::optional<double>& x) { return x && std::isfinite(*x) ? x : std::nullopt; }

// The engine's rows, one tuple each: key, class (None for all), label,
// short label, parent, group, estimate, se, interval low, high and level,
// se0, z, p, objects used, reason, rater and rater2 (None for none). Values that do not exist or are not
// finite are None, as in the CSV.
py::list Rows(const Analysis& analysis) {
  static const char* const kGroups[] = {"agreement", "kappa", "gwet", "alpha", "model", "rater_kappa", "pair",
                                        "rater"};
  py::list rows;
  for (const ResultRow& row : analysis.results.rows) {
    const auto interval = [&](double Interval::*end) { return row.ci ? Finite((*row.ci).*end) : std::nullopt; };
    rows.append(py::make_tuple(row.key, row.cls > 0 ? py::int_(row.cls) : py::object(py::none()), row.label,
                               row.shortLabel, row.parent, kGroups[static_cast<int>(row.group)],
                               Finite(row.estimate), Finite(row.se), interval(&Interval::low),
                               interval(&Interval::high), row.ci ? Value(row.ci->level) : std::nullopt,
                               Finite(row.se0), Finite(row.z), Finite(row.p), Finite(row.objectsUsed),
                               row.reason.empty() ? py::object(py::none()) : py::str(row.reason),
                               row.rater > 0 ? py::int_(row.rater) : py::object(py::none()),
                               row.rater2 > 0 ? py::int_(row.rater2) : py::object(py::none())));
  }
  return rows;
}

}  // namespace
}  // namespace zover

PYBIND11_MODULE(_zover, m) {
  using namespace zover;
  m.doc() = "The Zover engine: read, analyse and print (use the package zover, not this module)";
  py::register_exception<InputFault>(m, "InputError", PyExc_ValueError);
  py::register_exception<OpenFault>(m, "OpenError", PyExc_OSError);
  m.attr("version") = Version();

  py::enum_<Layout>(m, "Layout")
      .value("raw", Layout::kRaw)
      .value("frequencies", Layout::kFrequencies)
      .value("model", Layout::kModel)
      .value("long", Layout::kLong);
  py::enum_<WeightScheme>(m, "WeightScheme")
      .value("identity", WeightScheme::kIdentity)
      .value("linear", WeightScheme::kLinear)
      .value("quadratic", WeightScheme::kQuadratic);
  py::enum_<Separator>(m, "Separator")
      .value("detect", Separator::kDetect)
      .value("blank", Separator::kBlank)
      .value("comma", Separator::kComma)
      .value("semicolon", Separator::kSemicolon)
      .value("tab", Separator::kTab);
  py::enum_<BootstrapMethod>(m, "BootstrapMethod")
      .value("objects", BootstrapMethod::kObjects)
      .value("pairs", BootstrapMethod::kPairs);
  py::enum_<AlphaLevel>(m, "AlphaLevel")
      .value("nominal", AlphaLevel::kNominal)
      .value("ordinal", AlphaLevel::kOrdinal)
      .value("interval", AlphaLevel::kInterval)
      .value("ratio", AlphaLevel::kRatio);

  // The engine's options, one field a line: the package sets them by name.
  py::class_<ReadOptions>(m, "ReadOptions")
      .def(py::init<>())
      .def_readwrite("layout", &ReadOptions::layout)
      .def_readwrite("header", &ReadOptions::header)
      .def_readwrite("id", &ReadOptions::id)
      .def_readwrite("missing", &ReadOptions::missing)
      .def_readwrite("labels", &ReadOptions::labels)
      .def_readwrite("classes", &ReadOptions::classes)
      .def_readwrite("separator", &ReadOptions::separator)
      .def_readwrite("no_header", &ReadOptions::noHeader)
      .def_readwrite("raters", &ReadOptions::raters)
      .def_readwrite("long_columns", &ReadOptions::longColumns)
      .def_readwrite("objects", &ReadOptions::objects);
  py::class_<Request> request(m, "Request");
  request.def(py::init<>())
      .def_readwrite("coefficients", &Request::coefficients)
      .def_readwrite("weights", &Request::weights)
      .def_readwrite("levels", &Request::levels)
      .def_readwrite("samples", &Request::samples)
      .def_readwrite("seed", &Request::seed)
      .def_readwrite("method", &Request::method)
      .def_readwrite("level", &Request::level)
      .def_readwrite("max_pairs", &Request::maxPairs)
      .def_readwrite("threads", &Request::threads);

  py::class_<Analysis, std::shared_ptr<Analysis>>(m, "Analysis")
      .def("warnings", [](const Analysis& a) { return a.results.input.warnings; })
      .def("csv", [](const Analysis& a) { return a.Print(PrintCsv); }, py::call_guard<py::gil_scoped_release>())
      .def("json", [](const Analysis& a) { return a.Print(PrintJson); }, py::call_guard<py::gil_scoped_release>())
      .def("html", [](const Analysis& a) { return a.Print(PrintHtml); }, py::call_guard<py::gil_scoped_release>())
      .def("svg", [](const Analysis& a) { return a.Print(PrintSvg); }, py::call_guard<py::gil_scoped_release>())
      .def("text", [](const Analysis& a) { return a.Print(PrintBatchText); },
           py::call_guard<py::gil_scoped_release>())
      .def("rows", &Rows);

  m.def("analyse_file", &AnalyseFile, py::arg("path"), py::arg("name"), py::arg("read"), py::arg("request"));
  m.def("analyse_table", &AnalyseTable, py::arg("columns"), py::arg("rows"), py::arg("header"), py::arg("name"),
        py::arg("read"), py::arg("request"));
}
