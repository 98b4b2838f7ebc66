#include "console/format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace zover {

namespace {

std::string PrintfDouble(const char* conversion, double x) {
  const int size = std::snprintf(nullptr, 0, conversion, x);
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(&text[0], text.size(), conversion, x);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

std::string NonFinite(double x) {
  if (std::isnan(x)) return "NaN";
  return x > 0 ? "Inf" : "-Inf";
}

}  // namespace

// std::to_chars writes what printf's "%.4f" writes (the exact value of x,
// correctly rounded, ties to even), without printf's parsing of its format:
// a report of a thousand classes and raters prints two million cells. A
// standard library without it for doubles (emscripten's, for the page in a
// browser) takes printf's way to the same digits.
std::string Fixed4(double x) {
  if (!std::isfinite(x)) return NonFinite(x);
#ifdef __cpp_lib_to_chars
  char text[320];  // at most 309 digits before the point, a sign, the point and four decimals
  return std::string(text, std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, 4).ptr);
#else
  return PrintfDouble("%.4f", x);
#endif
}

std::string Table4(double x) {
  const std::string text = Fixed4(x);
  return text == "-0.0000" ? "0.0000" : text;
}

std::string ControlEscaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string ConsoleChar(int code) {
  if (code == kPlusMinus) return "\xC2\xB1";
  return std::string(1, static_cast<char>(code));
}

std::string Format(const char* format, std::initializer_list<FormatArg> args) {
  std::string text;
  const FormatArg* next = args.begin();
  auto take = [&]() -> const FormatArg& {
    static const FormatArg kMissing(0);
    return next != args.end() ? *next++ : kMissing;
  };
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      text += *p++;
      continue;
    }
    if (std::strncmp(p, "%.4lf", 5) == 0) {
      text += Fixed4(take().real());
      p += 5;
    } else if (std::strncmp(p, "%.0lf", 5) == 0) {
      const double x = take().real();
      text += std::isfinite(x) ? PrintfDouble("%.0f", x) : NonFinite(x);
      p += 5;
    } else if (std::strncmp(p, "%d", 2) == 0) {
      const FormatArg& a = take();
      if (!a.isReal()) {
        text += std::to_string(a.integer());
      } else {
        text += std::isfinite(a.real()) ? PrintfDouble("%.0f", std::trunc(a.real())) : NonFinite(a.real());
      }
      p += 2;
    } else if (std::strncmp(p, "%s", 2) == 0) {
      text += take().text();
      p += 2;
    } else if (std::strncmp(p, "%c", 2) == 0) {
      text += ConsoleChar(static_cast<int>(take().integer()));
      p += 2;
    } else if (std::strncmp(p, "%%", 2) == 0) {
      text += '%';
      p += 2;
    } else {
      text += *p++;
    }
  }
  return text;
}

void Print(std::ostream& out, const char* format, std::initializer_list<FormatArg> args) {
  out << Format(format, args);
}

}  // namespace zover
