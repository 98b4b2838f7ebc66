#pragma once

namespace zover {

// Drops console input already typed on the terminal of standard input
// (type-ahead). The program binds it only when standard input is a terminal:
// piped input is never discarded, each line being one answer.
void DiscardTerminalInput();

}  // namespace zover
