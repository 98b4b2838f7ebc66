#include "output/markup.h"

#include <cmath>
#include <cstdio>

#include "output/valid_utf8.h"

namespace zover {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string Markup(const std::string& text) {
  const std::string valid = ValidUtf8(text);
  std::string markup;
  markup.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const char c = valid[i];
    switch (c) {
      case '&': markup += "&amp;"; continue;
      case '<': markup += "&lt;"; continue;
      case '>': markup += "&gt;"; continue;
      case '"': markup += "&quot;"; continue;
      case '\'': markup += "&#39;"; continue;
      default: break;
    }
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      markup += kReplacement;
    } else if (valid.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < valid.size() &&
               (valid[i + 2] == '\xBE' || valid[i + 2] == '\xBF')) {
      markup += kReplacement;  // U+FFFE, U+FFFF
      i += 2;
    } else {
      markup += c;
    }
  }
  return markup;
}

std::string Shortened(const std::string& text, std::size_t characters) {
  if (characters == 0) return "";
  std::size_t count = 0, cut = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(text[i])) continue;
    if (count + 1 == characters) cut = i;  // where the ellipsis goes, if one is needed
    if (++count > characters) return text.substr(0, cut) + "\xE2\x80\xA6";
  }
  return text;
}

std::string Px(double x) {
  char text[400];  // a double's longest %.2f text
  std::snprintf(text, sizeof text, "%.2f", std::fabs(x) < 0.005 ? 0.0 : x);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

}  // namespace zover
