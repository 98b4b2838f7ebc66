#pragma once

namespace zover {

// Drops console input already typed on a terminal (type-ahead). When
// standard input is not a terminal nothing is discarded: each piped line
// stays one answer.
void DiscardTerminalInput();

}  // namespace zover
