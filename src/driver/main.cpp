// The console program: binds the dialogue and the batch command to the real
// standard input and output, the file system and the clock, and turns what
// cannot be done into an exit status and a message on standard error.

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
#include "driver/batch.h"
#include "driver/driver.h"

namespace {

int Dialogue(std::istream& in, std::ostream& out) {
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

int Batch(const zover::BatchOptions& options, std::ostream& out) {
  zover::BatchSystem system{
      out,
      std::cerr,
      [](const std::string& path, std::string* why) {
        return path == "-" ? zover::DescriptorSource(STDIN_FILENO) : zover::OpenDataFile(path, why);
      },
      zover::WriteOutputFile,
  };
  return zover::RunBatch(options, system);
}

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out) {
  const zover::Command command = zover::ParseArguments(args, out, std::cerr);
  switch (command.kind) {
    case zover::Command::kDialogue: return Dialogue(in, out);
    case zover::Command::kBatch: return Batch(command.batch, out);
    case zover::Command::kAnswered: break;
  }
  return command.status;
}

}  // namespace

int main(int argc, char** argv) {
  // A pipe whose reader has gone, or a file that reaches the size limit
  // (ulimit -f), is a failed write like any other, not a reason to die by a
  // signal.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  zover::DescriptorOutBuf outBuf(STDOUT_FILENO);
  zover::DescriptorInBuf inBuf(STDIN_FILENO);
  std::ostream out(&outBuf);
  std::istream in(&inBuf);

  // The dialogue's messages are part of its output; a command line's go to
  // standard error, so that its standard output holds nothing but a result.
  const bool dialogue = argc <= 1;
  auto fail = [&](const char* message) {
    if (dialogue) {
      out << "\n\n " << message << "\n";
    } else {
      std::cerr << "zover: " << message << "\n";
    }
  };
  int status = 1;
  try {
    status = Run(std::vector<std::string>(argv + 1, argv + argc), in, out);
  } catch (const std::bad_alloc&) {
    fail("ERROR: not enough memory for these data.");
  } catch (...) {
    fail("ERROR: the program could not go on.");
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
