#pragma once
// Names from the data (a header's rater names, a file name) in the batch
// outputs, which are UTF-8 text.

#include <string>

namespace zover {

// `text` with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD, one replacement character per such byte. Well-formed
// sequences (no overlong forms, no surrogates, nothing above U+10FFFF) are
// kept as they are, so that valid UTF-8 comes back unchanged.
std::string ValidUtf8(const std::string& text);

}  // namespace zover
