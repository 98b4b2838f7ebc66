#include "analysis/column_source.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace zover {

namespace {

// A text as a field: in double quotes, a quote doubled, when a reader would
// otherwise split it or read it differently: a blank, tab, comma or
// semicolon (separators), a quote, an empty text (a quoted empty field is
// still empty, but cannot be mistaken for a blank line), or a byte-order
// mark at its start (dropped at the start of a file).
std::string Field(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_of(" \t,;\"") == std::string::npos &&
                     static_cast<unsigned char>(text[0]) != 0xEF;
  if (plain) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

std::string ColumnProblem(const std::vector<Column>& columns) {
  for (const Column& column : columns) {
    if (HasLineBreak(column.name)) return "the column name \"" + column.name + "\" holds a line break";
    for (const std::string& text : column.texts) {
      if (HasLineBreak(text)) return "a value of the column \"" + column.name + "\" holds a line break";
    }
  }
  return "";
}

ColumnSource::ColumnSource(std::vector<Column> columns, std::size_t rows, bool header)
    : columns_(std::move(columns)), rows_(rows), header_(header) {
  fields_.resize(columns_.size());
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    for (const std::string& text : columns_[c].texts) fields_[c].push_back(Field(text));
  }
}

long ColumnSource::Read(char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (at_ == line_.size() && !NextLine()) break;
    const std::size_t n = std::min(size - done, line_.size() - at_);
    std::memcpy(buffer + done, line_.data() + at_, n);
    at_ += n;
    done += n;
  }
  return static_cast<long>(done);
}

bool ColumnSource::NextLine() {
  line_.clear();
  at_ = 0;
  if (header_) {
    header_ = false;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (c > 0) line_ += ',';
      line_ += Field(columns_[c].name);
    }
  } else if (row_ < rows_) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (c > 0) line_ += ',';
      AppendValue(c, row_);
    }
    ++row_;
  } else {
    return false;
  }
  line_ += '\n';
  return true;
}

// A number as the shortest decimal without an exponent that reads back as
// the same double (the files' number grammar has no exponent): whole
// numbers as integers, 2.0 as 2. An infinity is written as inf, which a
// file would hold too: no class number, and a label only with labels.
void ColumnSource::AppendValue(std::size_t c, std::size_t row) {
  const Column& column = columns_[c];
  char text[400];  // the longest fixed form of a double is 327 characters
  std::to_chars_result written{text, {}};
  const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(row) * column.stride;
  if (column.numbers != nullptr) {
    const double x = column.numbers[at];
    if (std::isnan(x)) return;
    written = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed);
  } else if (column.integers != nullptr) {
    written = std::to_chars(text, text + sizeof text, column.integers[at]);
  } else if (column.codes != nullptr) {
    const std::int64_t index = static_cast<std::int64_t>(column.codes[at]) - column.codeBase;
    const std::vector<std::string>& fields = fields_[c];
    if (index >= 0 && static_cast<std::size_t>(index) < fields.size()) line_ += fields[static_cast<std::size_t>(index)];
    return;
  }
  line_.append(text, written.ptr);
}

}  // namespace zover
