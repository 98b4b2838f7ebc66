// Mode 2: the frequencies file "Zover_data_freq.txt", one distinct response
// tuple per line: the class numbers of the R raters, then the number of
// objects that received exactly that tuple.

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "console/format.h"
#include "input/input.h"
#include "input/text_fields.h"

namespace zover {

namespace {

constexpr std::size_t kMinFields = 3;     // two raters and the frequency
constexpr std::size_t kMaxFields = 1001;  // 1000 raters and the frequency
constexpr std::uint64_t kMaxClass = 1000;
constexpr std::uint64_t kMaxObjects = 1000000000;

ReadOutcome Refuse(std::string message) { return {false, std::move(message)}; }

// The rows read so far, keyed by their response tuple (the class columns of
// `data`), to find a tuple that an earlier row already gave.
class TupleRows {
 public:
  TupleRows(const Grid<int>& data, int raters)
      : rows_(64, Hash{data, raters}, Equal{data, raters}) {}

  // Records `row`; the earlier row with the same tuple, if there is one.
  std::optional<std::size_t> Insert(std::size_t row) {
    const auto [at, inserted] = rows_.insert(row);
    if (inserted) return std::nullopt;
    return *at;
  }

 private:
  struct Hash {
    const Grid<int>& data;
    int raters;
    std::size_t operator()(std::size_t row) const {
      std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the classes
      for (int r = 0; r < raters; ++r) {
        h ^= static_cast<std::uint64_t>(data[row][r]);
        h *= 1099511628211ull;
      }
      return static_cast<std::size_t>(h);
    }
  };
  struct Equal {
    const Grid<int>& data;
    int raters;
    bool operator()(std::size_t a, std::size_t b) const {
      for (int r = 0; r < raters; ++r) {
        if (data[a][r] != data[b][r]) return false;
      }
      return true;
    }
  };
  std::unordered_set<std::size_t, Hash, Equal> rows_;
};

}  // namespace

ReadOutcome ArchivoExtra(Console& con, Tables& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kFreqFileName);
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoExtraFrom(*file, tb, kFreqFileName);
}

// Every data row holds R class numbers (1 .. 1000) and a frequency
// (0 .. 10^9); R + 1 is the field count of the first data row. Faults are
// reported as the mode-1 reader does, with the repeated-tuple check after the
// fields of a row. Rows of frequency 0 stay in `data` (and raise K); they
// only add no objects. With layout.header the first line names the raters
// (and the frequency column) and sets the field count of every line.
ReadOutcome ArchivoExtraFrom(DataSource& file, Tables& tb, const std::string& name, const FileLayout& layout) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  int raters = 0;
  bool named = false;  // the header line has been read
  std::vector<long long> lineOfRow;
  std::unique_ptr<TupleRows> seen;
  std::uint64_t total = 0;  // stops growing once it is past kMaxObjects
  auto empty = [&name](long long line, int field) {
    return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: the field is empty.\n", {name, line, field}));
  };
  while (true) {
    const LineStatus status = reader.Next();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refuse(LineFault(reader, status, name));
    const auto& fields = reader.fields();
    const long long line = reader.lineNumber();
    const std::size_t count = fields.size();
    if (lineOfRow.empty() && !named) {
      if (count < kMinFields) {
        return Refuse(Format("\nERROR in file \"%s\": at least 2 raters (columns before the frequency) are needed.\n", {name}));
      }
      if (count > kMaxFields) {
        return Refuse(Format("\nERROR in file \"%s\": at most 1000 raters (columns before the frequency) can be analysed.\n", {name}));
      }
      raters = static_cast<int>(count) - 1;
      tb.data = Grid<int>(0, count);
      seen = std::make_unique<TupleRows>(tb.data, raters);
      if (layout.header) {
        tb.raterNames.assign(fields.begin(), fields.begin() + raters);
        named = true;
        continue;
      }
    } else if (count != static_cast<std::size_t>(raters) + 1) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: %d fields where the first line has %d.\n",
                           {name, line, static_cast<long long>(count), raters + 1}));
    }
    int* row = tb.data.AddRow();
    for (int r = 0; r < raters; ++r) {
      if (fields[r].empty()) return empty(line, r + 1);
      const auto value = WholeField(fields[r], kMaxClass);
      if (!value || *value < 1) {
        return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a class number from 1 to 1000.\n",
                             {name, line, r + 1}));
      }
      row[r] = static_cast<int>(*value);
      if (row[r] > tb.maxclase) tb.maxclase = row[r];
    }
    if (fields[raters].empty()) return empty(line, raters + 1);
    const auto frequency = WholeField(fields[raters], kMaxObjects);
    if (!frequency) {
      return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a frequency (a whole number from 0 to 1000000000).\n",
                           {name, line, raters + 1}));
    }
    row[raters] = static_cast<int>(*frequency);
    if (const auto earlier = seen->Insert(lineOfRow.size())) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: the same responses as line %d.\n",
                           {name, line, lineOfRow[*earlier]}));
    }
    lineOfRow.push_back(reader.lineNumber());
    if (total <= kMaxObjects) total += *frequency;
  }
  if (total < 2) {
    return Refuse(Format("\nERROR in file \"%s\": the frequencies must add up to at least 2 objects.\n", {name}));
  }
  if (total > kMaxObjects) {
    return Refuse(Format("\nERROR in file \"%s\": the frequencies add up to more than 1000000000 objects.\n", {name}));
  }
  if (tb.maxclase < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 classes are needed.\n", {name}));
  }
  tb.contextra = static_cast<int>(lineOfRow.size());
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = tb.nraters;
  tb.Norg = static_cast<double>(total);
  tb.N = tb.Norg;
  return {};
}

}  // namespace zover
