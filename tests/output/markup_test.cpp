#include "output/markup.h"

#include <gtest/gtest.h>

namespace zover {
namespace {

// Text from the data becomes markup that XML 1.0 and HTML both read: the
// five special characters as references, bytes that are not UTF-8 and
// characters XML does not allow as U+FFFD; shortened text ends in an
// ellipsis and never cuts a character.
TEST(MarkupTest, EscapesAndShortens) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    const char* name;
    std::string text, markup, first4;
  } cases[] = {
      {"plain", "rater 1", "rater 1", "rat\xE2\x80\xA6"},
      {"the five", "<a & 'b' \"c\">", "&lt;a &amp; &#39;b&#39; &quot;c&quot;&gt;", "<a \xE2\x80\xA6"},
      {"controls", std::string("a\0b\x01\t\n\x1F", 7), "a" + r + "b" + r + "\t\n" + r, std::string("a\0b\xE2\x80\xA6", 6)},
      {"not UTF-8", "x\xFFy", "x" + r + "y", "x\xFFy"},
      {"U+FFFE and U+FFFF", "\xEF\xBF\xBE\xEF\xBF\xBF", r + r, "\xEF\xBF\xBE\xEF\xBF\xBF"},
      {"four characters of two bytes", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
       "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
      {"five of them", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
       "\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x80\xA6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Markup(c.text), c.markup);
    EXPECT_EQ(Shortened(c.text, 4), c.first4);
  }
}

}  // namespace
}  // namespace zover
