#pragma once
// Text and numbers in the HTML page and the SVG figure, which a browser and
// an XML parser must both read.

#include <cstddef>
#include <string>

namespace zover {

// Text from the data (a file name, a rater's name, a class label) or from
// the program as markup: valid UTF-8 (ValidUtf8), every character that XML
// 1.0 does not allow (control characters other than tab, line feed and
// carriage return; U+FFFE and U+FFFF) replaced by U+FFFD, and & < > " ' as
// character references, so that it may stand in an element or an attribute.
std::string Markup(const std::string& text);

// `text` (valid UTF-8) cut to at most `characters` characters, the last of
// them an ellipsis when it was longer.
std::string Shortened(const std::string& text, std::size_t characters);

// A coordinate or length: at most two decimals, without trailing zeros.
std::string Px(double x);

}  // namespace zover
