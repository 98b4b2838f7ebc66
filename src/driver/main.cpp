// The console program: binds the dialogue to the real standard input and
// output, the working folder and the clock, and turns what cannot be done
// into an exit status and a message on standard error.

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "console/system_io.h"
#include "console/terminal.h"
#include "driver/arguments.h"
#include "driver/driver.h"

namespace {

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out) {
  if (const auto status = zover::HandleArguments(args, out, std::cerr)) return *status;
  // Asked once: whether a person types the answers.
  const bool interactive = zover::IsTerminal(STDIN_FILENO);
  zover::Console con{
      in,
      out,
      [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
      interactive ? std::function<void()>(zover::DiscardTerminalInput) : [] {},
      [](const std::string& name) { return zover::OpenDataFile(name); },
      interactive,
  };
  return zover::RunZover(con);
}

}  // namespace

int main(int argc, char** argv) {
  // A pipe whose reader has gone is a failed write like any other, not a
  // reason to die by a signal.
  std::signal(SIGPIPE, SIG_IGN);
  zover::DescriptorOutBuf outBuf(STDOUT_FILENO);
  zover::DescriptorInBuf inBuf(STDIN_FILENO);
  std::ostream out(&outBuf);
  std::istream in(&inBuf);

  int status = 1;
  try {
    status = Run(std::vector<std::string>(argv + 1, argv + argc), in, out);
  } catch (const std::bad_alloc&) {
    out << "\n\n ERROR: not enough memory for these data.\n";
  } catch (...) {
    out << "\n\n ERROR: the program could not go on.\n";
  }
  out.flush();
  if (outBuf.failed()) {
    // A reader that quit early wants no more output and no message.
    if (outBuf.error() != EPIPE) {
      std::cerr << "zover: cannot write the output: " << zover::ErrorText(outBuf.error()) << "\n";
    }
    return 1;
  }
  if (inBuf.error() != 0) {
    std::cerr << "zover: cannot read the input: " << zover::ErrorText(inBuf.error()) << "\n";
    return 1;
  }
  return status;
}
