#pragma once
// The command line. The program is used without arguments; like every
// command-line tool it also answers --help and --version.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace zover {

constexpr int kExitUsage = 2;  // an argument the program does not know

// Handles the arguments that follow the program name. Returns the exit
// status when they ask for something other than the interactive program
// (--help, --version, or an unknown argument, reported on `err`); nothing
// when there are none and the program should run.
std::optional<int> HandleArguments(const std::vector<std::string>& args, std::ostream& out,
                                   std::ostream& err);

}  // namespace zover
