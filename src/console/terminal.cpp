// Kept apart from the working tables: <termios.h> defines a macro B0.
#include "console/terminal.h"

#include <termios.h>
#include <unistd.h>

namespace zover {

void DiscardTerminalInput() { tcflush(STDIN_FILENO, TCIFLUSH); }

}  // namespace zover
