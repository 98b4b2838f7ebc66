#include "output/valid_utf8.h"

#include <gtest/gtest.h>

namespace zover {
namespace {

// Each byte outside a well-formed sequence becomes one U+FFFD; well-formed
// text comes back unchanged.
TEST(ValidUtf8Test, ReplacesEachByteThatIsNotUtf8) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    const char* name;
    std::string text, valid;
  } cases[] = {
      {"ASCII and NUL", std::string("A,b 1\0x", 7), std::string("A,b 1\0x", 7)},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"a byte that never starts a sequence", "A\xFF" "B", "A" + r + "B"},
      {"a lead byte before an ASCII byte", "d\xE9.txt", "d" + r + ".txt"},
      {"a sequence cut short", "\xE2\x82x", r + r + "x"},
      {"a sequence cut short by the end", "a\xF0\x9F\x98", "a" + r + r + r},
      {"an overlong form", "\xC0\xAF\xE0\x80\xAF", r + r + r + r + r},
      {"a surrogate", "\xED\xA0\x80", r + r + r},
      {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
      {"a lone continuation byte", "\x80", r},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ValidUtf8(c.text), c.valid);
  }
}

}  // namespace
}  // namespace zover
