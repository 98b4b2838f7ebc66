#include "driver/arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zover {
namespace {

TEST(HandleArgumentsTest, AnswersHelpVersionAndRefusesEverythingElse) {
  struct Case {
    std::vector<std::string> args;
    int status;  // -1: run the interactive program
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {{}, -1, "", ""},
      {{"--version"}, 0, "zover 1.3\n", ""},
      {{"--verbose"}, 2, "", "zover: unknown argument '--verbose'; run zover --help\n"},
      {{"Zover_data.txt"}, 2, "", "zover: unknown argument 'Zover_data.txt'; run zover --help\n"},
      {{"--help", "extra"}, 2, "", "zover: unknown argument 'extra'; run zover --help\n"},
      {{"-h"}, 2, "", "zover: unknown argument '-h'; run zover --help\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    std::ostringstream out, err;
    const std::optional<int> status = HandleArguments(c.args, out, err);
    EXPECT_EQ(status.value_or(-1), c.status);
    EXPECT_EQ(out.str(), c.out);
    EXPECT_EQ(err.str(), c.err);
  }
}

TEST(HandleArgumentsTest, HelpNamesTheFilesAndHowToRun) {
  std::ostringstream out, err;
  EXPECT_EQ(HandleArguments({"--help"}, out, err), 0);
  for (const char* text : {"Zover_data.txt", "Zover_data_freq.txt", "Run zover without arguments for the interactive program"}) {
    EXPECT_NE(out.str().find(text), std::string::npos) << text;
  }
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace zover
