#pragma once
// Formatted console output. The program's texts are printf formats; Print()
// takes them as they stand and fills in
//   %.4lf  a measure with four decimals (Fixed4),
//   %.0lf  a whole number of objects,
//   %d     an integer,
//   %s     a text (a file name, the system's text for an error),
//   %c     a character by its code page 437 code (ConsoleChar: 241 is the
//          plus-minus sign, written as UTF-8).
// Nothing is added to the text: each begins with its own "\n".

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>

namespace zover {

// Character codes that the program's texts pass for %c.
constexpr int kPlusMinus = 241;  // the plus-minus sign
constexpr int kQuote = 34;       // a double quote
constexpr int kMinus = 45;       // a minus sign

// A "%.4lf" cell: four decimals, or "NaN", "Inf", "-Inf" for a value that is
// not finite (a NaN never prints as "-nan").
std::string Fixed4(double x);

// The four decimals of the batch command's tables and figures: Fixed4, but a
// value within rounding of zero is 0.0000, never -0.0000 (the dialogue's
// report keeps Fixed4's text).
std::string Table4(double x);

// `text` with each control byte (below 0x20, and 0x7F) written as \xNN, so
// that a text from a file (a class label) cannot move the cursor, clear the
// screen or set a terminal's title when it is printed.
std::string ControlEscaped(std::string_view text);

// The text of character code `code` of code page 437: "±" for 241, the ASCII
// character otherwise.
std::string ConsoleChar(int code);

// One argument of Print: a number, used as the format item requires, or a
// text for %s. A text argument refers to its string, which must outlive the
// call (the temporaries of the calling expression do).
class FormatArg {
 public:
  FormatArg(double x) : real_(x), integer_(0), isReal_(true) {}
  FormatArg(int n) : real_(n), integer_(n), isReal_(false) {}
  FormatArg(long long n) : real_(static_cast<double>(n)), integer_(n), isReal_(false) {}
  FormatArg(const char* text) : real_(0), integer_(0), isReal_(false), text_(text) {}
  FormatArg(const std::string& text) : FormatArg(text.c_str()) {}
  double real() const { return real_; }
  long long integer() const { return integer_; }
  bool isReal() const { return isReal_; }
  const char* text() const { return text_ != nullptr ? text_ : ""; }

 private:
  double real_;
  long long integer_;
  bool isReal_;
  const char* text_ = nullptr;
};

// The text of `format` with its items filled from `args`, in order.
std::string Format(const char* format, std::initializer_list<FormatArg> args = {});

// Writes Format(format, args) to `out`.
void Print(std::ostream& out, const char* format, std::initializer_list<FormatArg> args = {});

}  // namespace zover
