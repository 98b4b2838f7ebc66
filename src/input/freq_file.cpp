// Mode 2: the frequencies file "Zover_data_freq.txt", one distinct response
// tuple per line: the class numbers of the R raters, then the number of
// objects that received exactly that tuple.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "console/format.h"
#include "input/input.h"
#include "input/text_fields.h"
#include "input/tuple_counter.h"

namespace zover {

namespace {

constexpr std::size_t kMinFields = 3;     // two raters and the frequency
constexpr std::size_t kMaxFields = 1001;  // 1000 raters and the frequency
constexpr std::uint64_t kMaxClass = 1000;
constexpr std::uint64_t kMaxObjects = 1000000000;

ReadOutcome Refuse(std::string message) { return {false, std::move(message)}; }

// The line of every data row, by its number among the rows: kept as the
// rows where the line numbers jump (after the first line, a blank line or a
// header), so that a file without blank lines needs almost nothing.
class RowLines {
 public:
  // Rows come in increasing order.
  void Add(std::uint32_t row, long long line) {
    if (jumps_.empty() || jumps_.back().line + (row - jumps_.back().row) != line) jumps_.push_back({row, line});
  }
  long long LineOf(std::uint32_t row) const {
    auto after = std::upper_bound(jumps_.begin(), jumps_.end(), row,
                                  [](std::uint32_t r, const Jump& jump) { return r < jump.row; });
    if (after == jumps_.begin()) return 0;
    --after;
    return after->line + (row - after->row);
  }

 private:
  struct Jump {
    std::uint32_t row;
    long long line;
  };
  std::vector<Jump> jumps_;
};

}  // namespace

ReadOutcome ArchivoExtra(Console& con, ObservedData& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kFreqFileName);
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoExtraFrom(*file, tb, kFreqFileName);
}

// Every data row holds R class numbers (1 .. 1000) and a frequency
// (0 .. 10^9); R + 1 is the field count of the first data row. Faults are
// reported as the mode-1 reader does, with the repeated-tuple check after the
// fields of a row. Rows of frequency 0 raise K and take part in the
// repeated-tuple check; they only add no objects. With layout.header the
// first line names the raters (and the frequency column) and sets the field
// count of every line.
//
// The rows go straight into the counts of the response tuples (frec), whose
// hash table also finds a tuple that an earlier row gave; each tuple keeps
// the number of its row, from which the message finds the row's line.
ReadOutcome ArchivoExtraFrom(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  int raters = 0;
  std::size_t fieldsPerLine = 0;  // every line's field count, once known
  std::unique_ptr<TupleCounter> counter;
  RowLines lines;
  std::uint32_t rows = 0;
  std::vector<std::uint32_t> digits;  // the fields of a plain line
  std::vector<std::uint16_t> classes;
  std::uint32_t largest = 0;  // the largest class read
  std::uint64_t total = 0;  // stops growing once it is past kMaxObjects
  auto empty = [&name](long long line, int field) {
    return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: the field is empty.\n", {name, line, field}));
  };
  auto notFrequency = [&name](long long line, int field) {
    return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a frequency (a whole number from 0 to 1000000000).\n",
                         {name, line, field}));
  };
  while (true) {
    const LineStatus status = reader.NextLine();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refuse(LineFault(reader, status, name));
    const long long line = reader.lineNumber();
    std::uint32_t frequency = 0;
    bool plain = fieldsPerLine != 0 && DigitFields(reader.line(), digits.data(), fieldsPerLine);
    if (plain) {
      for (int r = 0; r < raters; ++r) {
        const std::uint32_t value = digits[static_cast<std::size_t>(r)];
        if (value < 1 || value > kMaxClass) plain = false;
        classes[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(value);
        largest = std::max(largest, value);
      }
      frequency = digits[static_cast<std::size_t>(raters)];  // nine digits at most: below 10^9
    }
    if (!plain) {
      reader.Split();
      const auto& fields = reader.fields();
      const std::size_t count = fields.size();
      if (fieldsPerLine == 0) {
        if (count < kMinFields) {
          return Refuse(Format("\nERROR in file \"%s\": at least 2 raters (columns before the frequency) are needed.\n", {name}));
        }
        if (count > kMaxFields) {
          return Refuse(Format("\nERROR in file \"%s\": at most 1000 raters (columns before the frequency) can be analysed.\n", {name}));
        }
        fieldsPerLine = count;
        raters = static_cast<int>(count) - 1;
        digits.assign(fieldsPerLine, 0);
        classes.assign(static_cast<std::size_t>(raters), 0);
        counter = std::make_unique<TupleCounter>(raters);
        if (layout.header) {
          tb.raterNames.assign(fields.begin(), fields.begin() + raters);
          continue;
        }
      } else if (count != fieldsPerLine) {
        return Refuse(Format("\nERROR in file \"%s\", line %d: %d fields where the first line has %d.\n",
                             {name, line, static_cast<long long>(count), raters + 1}));
      }
      for (int r = 0; r < raters; ++r) {
        if (fields[r].empty()) return empty(line, r + 1);
        const auto value = WholeField(fields[r], kMaxClass);
        if (!value || *value < 1) {
          return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a class number from 1 to 1000.\n",
                               {name, line, r + 1}));
        }
        classes[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(*value);
        largest = std::max(largest, static_cast<std::uint32_t>(*value));
      }
      if (fields[raters].empty()) return empty(line, raters + 1);
      const auto value = WholeField(fields[raters], kMaxObjects);
      if (!value) return notFrequency(line, raters + 1);
      frequency = static_cast<std::uint32_t>(*value);
    }
    if (rows == UINT32_MAX) throw std::bad_alloc();  // more rows than any memory holds
    if (const auto earlier = counter->Add(classes.data(), frequency, rows)) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: the same responses as line %d.\n",
                           {name, line, lines.LineOf(*earlier)}));
    }
    lines.Add(rows, line);
    ++rows;
    if (total <= kMaxObjects) total += frequency;
  }
  tb.maxclase = static_cast<int>(largest);
  if (total < 2) {
    return Refuse(Format("\nERROR in file \"%s\": the frequencies must add up to at least 2 objects.\n", {name}));
  }
  if (total > kMaxObjects) {
    return Refuse(Format("\nERROR in file \"%s\": the frequencies add up to more than 1000000000 objects.\n", {name}));
  }
  if (tb.maxclase < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 classes are needed.\n", {name}));
  }
  tb.contextra = static_cast<int>(rows);
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = tb.nraters;
  tb.Norg = static_cast<double>(total);
  tb.entrada = EntryMode::kFrequencyFile;
  tb.frec = counter->Finish();
  return {};
}

}  // namespace zover
