#pragma once
// The command line. Without arguments the program is the interactive
// dialogue; with a file it analyses that file at once (the batch command);
// like every command-line tool it also answers --help and --version.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/analysis.h"

namespace zover {

constexpr int kExitUsage = 2;  // the command line is not understood

enum class OutputFormat { kText, kJson, kCsv, kHtml, kSvg };

struct BatchOptions {
  std::string file;  // "-": standard input
  // Every FILE, `file` first: several are groups, one a file (frequencies
  // files: shards of one table, added); empty: `file` alone.
  std::vector<std::string> files;
  ReadOptions read;  // how to read FILE
  Request request;   // what to compute beside the model and the kappas
  OutputFormat format = OutputFormat::kText;
  std::string output;  // "" : standard output
};

// What the command line asks for. kAnswered: --help, --version or a usage
// error, already answered on `out` or `err`, with its exit status.
struct Command {
  enum Kind { kDialogue, kBatch, kAnswered };
  Kind kind = kDialogue;
  int status = 0;
  BatchOptions batch;
};

Command ParseArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zover
