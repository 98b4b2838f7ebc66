#pragma once
// A table held in memory by a program that links the engine (a data frame
// of Python or R), read as the CSV file it stands for: one line per row,
// the fields separated by commas, a missing value as an empty field, a text
// quoted where a file would need it, a number as the shortest decimal that
// reads back as the same double. ReadData then reads it exactly as it reads
// that file: labels, decimal classes, missing ratings and every refusal are
// the file's. The lines are made as the reader asks for bytes, a few at a
// time, so the table is never held as text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/data_source.h"

namespace zover {

// One column of the table: numbers, whole numbers, or codes into a list of
// texts (a factor, a categorical). Exactly one of the three pointers is
// set; the program that owns the values keeps them alive and unchanged
// while the source is read.
struct Column {
  std::string name;                          // its field in the header line
  const double* numbers = nullptr;           // NaN: missing
  const std::int64_t* integers = nullptr;
  const std::int32_t* codes = nullptr;       // texts[code - codeBase]; any other code: missing
  std::int32_t codeBase = 0;                 // 1 for R's factors
  std::vector<std::string> texts;
  // From one row's value to the next, in values: a column of a table stored
  // row by row (a 2-D array, a DataFrame made of one) is read in place.
  std::ptrdiff_t stride = 1;
};

// What keeps `columns` from being written as lines of a file, or "": a
// name or a text with a line break, which no field can hold.
std::string ColumnProblem(const std::vector<Column>& columns);

class ColumnSource : public DataSource {
 public:
  // Rows 0 .. rows - 1 of every column, after a header line of the columns'
  // names when `header`. The columns must have no ColumnProblem.
  ColumnSource(std::vector<Column> columns, std::size_t rows, bool header);
  long Read(char* buffer, std::size_t size) override;
  std::string Error() const override { return {}; }

 private:
  bool NextLine();
  void AppendValue(std::size_t column, std::size_t row);

  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> fields_;  // [column][text]: each text as its field
  std::size_t rows_;
  std::size_t row_ = 0;
  bool header_;
  std::string line_;
  std::size_t at_ = 0;  // the bytes of line_ not yet read
};

}  // namespace zover
