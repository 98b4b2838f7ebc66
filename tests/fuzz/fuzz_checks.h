#pragma once
// Checks shared by the fuzz targets. A failed check prints what it expected
// and aborts, which libFuzzer reports as a crash with the input that caused
// it.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "output/valid_utf8.h"
#include "support/non_finite.h"
#include "tables/tables.h"

namespace zover::fuzz {

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n%s\n", what, detail.c_str());
  std::abort();
}

inline void Check(bool ok, const char* what, const std::string& detail = {}) {
  if (!ok) Fail(what, detail);
}

// Whether `text` matches `pattern`, where each '#' stands for a run of one
// or more decimal digits, each '*' for any run of bytes (a field's text) and
// every other character for itself.
inline bool MatchesTemplate(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return text.empty();
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= text.size(); ++skip) {
      if (MatchesTemplate(text.substr(skip), pattern.substr(1))) return true;
    }
    return false;
  }
  if (pattern[0] == '#') {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    return digits > 0 && MatchesTemplate(text.substr(digits), pattern.substr(1));
  }
  return !text.empty() && text[0] == pattern[0] && MatchesTemplate(text.substr(1), pattern.substr(1));
}

inline bool IsKnownMessage(const std::string& message, const std::vector<const char*>& templates) {
  for (const char* t : templates) {
    if (MatchesTemplate(message, t)) return true;
  }
  return false;
}

// Whether `text` is well-formed XML in valid UTF-8, as the HTML page and the
// SVG figure are written: an optional XML declaration and HTML doctype, one
// root element, every element closed in order, attribute values in double
// quotes without < or &, text without <, and every & one of the predefined
// entities or a decimal character reference; no control character other
// than tab, line feed and carriage return. And whether it refers to nothing
// outside itself: no element that loads or runs something, no attribute
// that names a resource or handles an event. `why` says where it fails.
inline bool SelfContainedXml(std::string_view text, std::string* why) {
  auto fail = [&](const char* what, std::size_t at) {
    *why = std::string(what) + " at byte " + std::to_string(at) + ": " + std::string(text.substr(at, 60));
    return false;
  };
  if (ValidUtf8(std::string(text)) != text) return fail("not UTF-8", 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return fail("a control character", i);
  }
  std::size_t at = 0;
  for (const std::string_view prolog : {std::string_view("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"),
                                        std::string_view("<!DOCTYPE html>\n")}) {
    if (text.substr(at, prolog.size()) == prolog) at += prolog.size();
  }
  auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':'; };
  auto entity = [&](std::size_t amp) {
    const std::size_t end = text.find(';', amp);
    if (end == std::string_view::npos || end - amp > 8) return false;
    const std::string_view name = text.substr(amp + 1, end - amp - 1);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") return true;
    return name.size() > 1 && name[0] == '#' &&
           name.find_first_not_of("0123456789", 1) == std::string_view::npos;
  };
  std::vector<std::string_view> open;
  bool rooted = false;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '&' && !entity(at)) return fail("a bare &", at);
    if (c != '<') {
      if (open.empty() && c != '\n') return fail("text outside the root", at);
      ++at;
      continue;
    }
    const bool closing = at + 1 < text.size() && text[at + 1] == '/';
    std::size_t end = at + (closing ? 2 : 1);
    const std::size_t nameStart = end;
    while (end < text.size() && isName(text[end])) ++end;
    const std::string_view name = text.substr(nameStart, end - nameStart);
    if (name.empty()) return fail("a tag without a name", at);
    if (closing) {
      if (open.empty() || open.back() != name || end >= text.size() || text[end] != '>') {
        return fail("a closing tag out of order", at);
      }
      open.pop_back();
      at = end + 1;
      continue;
    }
    if (open.empty() && rooted) return fail("a second root", at);
    for (const std::string_view loads : {"script", "link", "img", "image", "iframe", "object", "embed", "use"}) {
      if (name == loads) return fail("an element that loads something", at);
    }
    rooted = true;
    while (true) {  // attributes
      while (end < text.size() && (text[end] == ' ' || text[end] == '\n')) ++end;
      if (end >= text.size()) return fail("a tag not closed", at);
      if (text.substr(end, 2) == "/>" || text[end] == '>') break;
      const std::size_t key = end;
      while (end < text.size() && isName(text[end])) ++end;
      if (end == key || text.substr(end, 2) != "=\"") return fail("an attribute without a quoted value", end);
      const std::string_view attribute = text.substr(key, end - key);
      if (attribute == "src" || attribute == "href" || attribute == "xlink:href" || attribute.substr(0, 2) == "on") {
        return fail("an attribute that refers elsewhere", key);
      }
      const std::size_t close = text.find('"', end + 2);
      if (close == std::string_view::npos) return fail("an attribute value not closed", end);
      for (std::size_t v = end + 2; v < close; ++v) {
        if (text[v] == '<' || (text[v] == '&' && !entity(v))) return fail("a < or bare & in an attribute", v);
      }
      end = close + 1;
    }
    if (text[end] == '>') {
      open.push_back(name);
      at = end + 1;
    } else {
      at = end + 2;
    }
  }
  if (!open.empty() || !rooted) return fail("elements not closed at the end", text.size());
  return true;
}

// Values that are not finite print only as "NaN", "Inf" or "-Inf".
using testing::NoLowercaseNonFinite;

// The number of lines of `bytes` that hold something other than blanks, as a
// data file counts them: lines end at a line feed, one carriage return before
// it (or at the very end) is dropped, a byte-order mark opens the file.
inline long long DataLines(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  long long count = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t\r") != std::string_view::npos) ++count;
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return count;
}

// The invariants that every accepted observed-data file must leave in the
// class and object-by-class tables of n objects: every rater classified each
// object once, every object without unanimity gives one disagreement per
// rater, and every object is counted once per rater in datafleiss.
inline void CheckClassTables(const ObservedData& tb, long long n) {
  Check(tb.K >= 2 && tb.K <= 1000, "2 <= K <= 1000", std::to_string(tb.K));
  Check(tb.R >= 2 && tb.R <= 1000, "2 <= R <= 1000", std::to_string(tb.R));
  Check(tb.Norg == static_cast<double>(n), "Norg = n");
  long long agreements = 0;
  for (int i = 0; i < tb.K; ++i) agreements += tb.ac[i];
  Check(agreements >= 0 && agreements <= n, "0 <= sum of agreements <= n");
  for (int r = 0; r < tb.R; ++r) {
    long long classified = 0;
    for (int i = 0; i < tb.K; ++i) {
      Check(tb.clases[i][r] >= tb.ac[i], "clases >= ac");
      classified += tb.clases[i][r];
    }
    Check(classified == n, "each rater's class counts add up to n",
          std::to_string(classified) + " != " + std::to_string(n));
  }
  double disagreements = 0;
  double success = 0;
  for (int i = 0; i < tb.K; ++i) {
    success += tb.successaux[i];
    for (int r = 0; r < tb.R; ++r) {
      Check(tb.failaux[i][r] >= 0, "failaux >= 0");
      disagreements += tb.failaux[i][r];
    }
  }
  Check(disagreements == tb.R * (static_cast<double>(n) - success),
        "disagreements = R (n - agreements)");
  long long ratings = 0;
  for (int i = 0; i < tb.K; ++i) {
    for (int q = 0; q < tb.R; ++q) {
      Check(tb.datafleiss[i][q] >= 0, "datafleiss >= 0");
      ratings += static_cast<long long>(q + 1) * tb.datafleiss[i][q];
    }
  }
  Check(ratings == n * tb.R, "sum of j datafleiss = n R",
        std::to_string(ratings) + " != " + std::to_string(n * tb.R));
  long long tupleObjects = 0;
  for (std::size_t u = 0; u < tb.frec.size(); ++u) tupleObjects += tb.frec.count(u);
  Check(tupleObjects == n, "tuple counts add up to n");
}

// The counted tuples: R classes from 1 to K each, counts above 0, in strictly
// increasing order, unanimous marks as the classes say.
inline void CheckTuples(const ObservedData& tb) {
  Check(tb.frec.raters() == tb.R, "tuples of R raters");
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R)), last;
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    const std::uint16_t* values = tb.frec.Values(u, scratch.data());
    std::vector<std::uint16_t> tuple(values, values + tb.R);
    for (const std::uint16_t c : tuple) Check(c >= 1 && c <= tb.K, "1 <= class <= K");
    Check(tb.frec.count(u) > 0, "count > 0");
    Check(u == 0 || last < tuple, "tuples in increasing order");
    Check(tb.frec.unanimous(u) == (std::count(tuple.begin(), tuple.end(), tuple[0]) == tb.R), "unanimous mark");
    last = tuple;
  }
}

}  // namespace zover::fuzz
