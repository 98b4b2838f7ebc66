// Whole dialogues of the main loop, run in-process: the data-entry menu, the
// end prompt, the dimension prompts and the end of input at each of them.

#include <gtest/gtest.h>

#include <string>

#include "support/session.h"

namespace zover {
namespace {

using testing::AfterCover;
using testing::Count;
using testing::RunSession;
using testing::kMenu;

const std::string kChoiceError = "\nERROR in the choice. Please re-select one of the options";
const std::string kEndPrompt = "\n\n\n 0-END    1-Change DATA ENTRY :  ";
const std::string kAskK = "\n\n K (number of classes) (>1) = ";
const std::string kAskR = "\n\n R (number of viewers) (>1) = ";
const std::string kAskN = "\n\n n (number of objects) (>1) = ";
const std::string kInputEnded = "\n\n ERROR: the input ended before the data entry was complete.\n";
const std::string kEndText = "\n\n END OF THE PROGRAM \n\n\n";

TEST(CaratulaTest, CoverIsPrintedOnceBeforeTheMenu) {
  const auto run = RunSession("");
  EXPECT_EQ(Count(run.output, "ABOUT  MULTI-RATER ZOVER (2021)  - Version 1.3         \n"), 1);
  EXPECT_EQ(AfterCover(run.output), kMenu + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.pauses.empty());
}

// Menu answers, with the mode they select (0: rejected with the error text).
TEST(MenuTest, AcceptsWholeChoicesFromOneToFour) {
  struct Case {
    const char* answer;
    bool accepted;
  };
  const Case cases[] = {
      {"2.0", true},        {"2e0", true},  {"4", true},          {"   3 and more words", true},
      {"1.0000", true},     {"2.5", false}, {"0", false},         {"5", false},
      {"-1", false},        {"letters", false}, {"nan", false},   {"inf", false},
      {"", false},          {"1e999", false},   {"99999999999999999999", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    // Mode 2 refuses its missing file without asking anything; modes 3 and 4
    // ask for K, so every accepted answer leaves the menu.
    const auto run = RunSession(std::string(c.answer) + "\n");
    const std::string after = AfterCover(run.output);
    if (c.accepted) {
      EXPECT_EQ(after.rfind(kMenu, 0), 0u);
      EXPECT_EQ(Count(after, kChoiceError), 0);
    } else {
      EXPECT_EQ(after, kMenu + kChoiceError + kMenu + "\n");
    }
  }
}

TEST(MenuTest, KeyboardModeAsksTheDimensionsThenTheEndPrompt) {
  const auto run = RunSession("3\n2\n2\n10\n");
  // Mode 3 goes on to its frequency entry, which ends with the input.
  EXPECT_EQ(AfterCover(run.output).substr(0, kMenu.size() + kAskK.size() + kAskR.size() + kAskN.size()),
            kMenu + kAskK + kAskR + kAskN);
}

TEST(EndPromptTest, ZeroEndsAfterThePauseAndOneStartsAPass) {
  struct Case {
    const char* answers;
    int menus;
    int errors;
    bool ended;
  };
  // Mode 4 with a consistent entry: K=2 R=2 n=10, agreements 5 and 5.
  const std::string entry = "4\n2\n2\n10\n5\n0\n0\n5\n0\n0\n";
  const Case cases[] = {
      {"0\n", 1, 0, true},        {"0.0\n", 1, 0, true},     {"2\n0\n", 1, 1, true},
      {"0.5\n0\n", 1, 1, true},   {"-1\n0\n", 1, 1, true},   {"x\n0\n", 1, 1, true},
      {"1.0\n", 2, 0, false},     {"", 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    const auto run = RunSession(entry + c.answers);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.output, kMenu), c.menus);
    EXPECT_EQ(Count(run.output, kChoiceError), c.errors);
    if (c.ended) {
      EXPECT_EQ(run.output.substr(run.output.size() - kEndText.size()), kEndText);
      ASSERT_EQ(run.pauses.size(), 1u);
      EXPECT_EQ(run.pauses[0], 3000);
    } else {
      EXPECT_TRUE(run.pauses.empty());
      EXPECT_EQ(run.output.back(), '\n');
    }
  }
}

// Dimension answers: the prompt text, the answers typed, and what is written
// after the first prompt up to the point where the answer is accepted.
TEST(DatosTest, BoundsAndMessages) {
  struct Case {
    const char* name;
    const char* answers;   // typed after "4\n" (mode 4)
    std::string expected;  // output from the first K prompt up to the n prompt
  };
  const Case cases[] = {
      {"K accepted", "3\n2\n", kAskK + kAskR + kAskN},
      {"K=1 too small", "1\n3\n2\n", kAskK + "\nMust be K>1" + kAskK + kAskR + kAskN},
      {"K=2.5 asked again silently", "2.5\n3\n2\n", kAskK + kAskK + kAskR + kAskN},
      {"K letters", "abc\n3\n2\n", kAskK + kAskK + kAskR + kAskN},
      {"K=3.0, blanks, words", "  3.0 classes\n2\n", kAskK + kAskR + kAskN},
      {"K=1001 too large", "1001\n3\n2\n", kAskK + "\nMust be K<=1000" + kAskK + kAskR + kAskN},
      {"K=1e300 too large", "1e300\n3\n2\n", kAskK + "\nMust be K<=1000" + kAskK + kAskR + kAskN},
      {"K=-1e300 too small", "-1e300\n3\n2\n", kAskK + "\nMust be K>1" + kAskK + kAskR + kAskN},
      {"K=1000 accepted", "1000\n2\n", kAskK + kAskR + kAskN},
      {"R=-4 too small", "3\n-4\n2\n", kAskK + kAskR + "\nMust be R>1" + kAskR + kAskN},
      {"R=1001 too large", "3\n1001\n2\n", kAskK + kAskR + "\nMust be R<=1000" + kAskR + kAskN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = RunSession(std::string("4\n") + c.answers);
    const std::string after = AfterCover(run.output).substr(kMenu.size());
    EXPECT_EQ(after.substr(0, c.expected.size()), c.expected);
  }
}

TEST(DatosTest, ObjectsBounds) {
  struct Case {
    const char* answers;
    std::string expected;
  };
  const Case cases[] = {
      {"1.5\n2\n", kAskN + "\nMust be N>1" + kAskN},
      {"2\n", kAskN},
      {"1000000001\n2\n", kAskN + "\nMust be N<=1000000000" + kAskN},
      {"2.5\n2\n", kAskN + kAskN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    const auto run = RunSession(std::string("4\n2\n2\n") + c.answers);
    const std::string after = AfterCover(run.output).substr(kMenu.size() + kAskK.size() + kAskR.size());
    EXPECT_EQ(after.substr(0, c.expected.size()), c.expected);
    EXPECT_EQ(after.substr(c.expected.size()).rfind("\n\n\n Data for ALFA \n", 0), 0u);
  }
}

TEST(DatosTest, KeyboardFrequenciesKeepKToTheRAtMostAThousand) {
  // 10^3 = 1000 is accepted; 2^10 = 1024 starts the questions again from K.
  const auto ok = RunSession("3\n10\n3\n");
  EXPECT_EQ(Count(ok.output, "Must be K^R<=1000"), 0);
  EXPECT_EQ(Count(ok.output, kAskN), 1);

  const auto refused = RunSession("3\n2\n10\n");
  const std::string after = AfterCover(refused.output).substr(kMenu.size());
  EXPECT_EQ(after, kAskK + kAskR + "\nMust be K^R<=1000" + kAskK + kInputEnded);

  // Mode 4 has no such limit.
  const auto model = RunSession("4\n2\n10\n");
  EXPECT_EQ(Count(model.output, "Must be K^R<=1000"), 0);
}

TEST(EndOfInputTest, StatusDependsOnThePrompt) {
  struct Case {
    const char* answers;
    int status;
    const char* ending;
  };
  const Case cases[] = {
      {"", 0, "4 = DATA FOR ZOVER: \n"},
      {"x\n", 0, "options" "\n\n DATA ENTRY"},
      {"4\n", 1, "(>1) = \n\n ERROR: the input ended before the data entry was complete.\n"},
      {"3\n2\n", 1, "(>1) = \n\n ERROR: the input ended before the data entry was complete.\n"},
      {"4\n2\n2\n", 1, "(>1) = \n\n ERROR: the input ended before the data entry was complete.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    const auto run = RunSession(c.answers);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.output.find(c.ending), std::string::npos);
    EXPECT_TRUE(run.pauses.empty());
  }
}

TEST(EndOfInputTest, LinesOfAnyLengthAreOneAnswer) {
  const std::string longLine = "4" + std::string(1 << 20, ' ') + "words\n";
  const auto run = RunSession(longLine);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Count(run.output, kAskK), 1);
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// A console output that takes `room` bytes and then fails, as a full disk or
// a closed pipe does.
class FailingOutput : public std::streambuf {
 public:
  explicit FailingOutput(std::size_t room) : room_(room) {}
  std::string written;

 protected:
  int_type overflow(int_type c) override {
    if (written.size() >= room_) return traits_type::eof();
    written.push_back(traits_type::to_char_type(c));
    return c;
  }

 private:
  std::size_t room_;
};

// A data file whose first read runs out of memory.
class NoMemorySource : public DataSource {
 public:
  long Read(char*, std::size_t) override { throw std::bad_alloc(); }
  std::string Error() const override { return {}; }
};

// The dialogue's answers to a refused output: stop at the next answer with
// status 1, having written nothing after the failure.
TEST(FaultTest, OutputThatCannotBeWrittenStopsTheProgram) {
  const std::string model = "4\n2\n2\n10\n5\n0\n0\n5\n0\n0\n0\n";
  for (const std::size_t room : {std::size_t{0}, std::size_t{100}, std::size_t{3000}}) {
    SCOPED_TRACE(room);
    FailingOutput sink(room);
    std::ostream out(&sink);
    std::istringstream in(model);
    std::vector<int> pauses;
    Console con{in, out, [&](int ms) { pauses.push_back(ms); }, [] {}, [](const std::string&) { return nullptr; }};
    EXPECT_EQ(RunZover(con), 1);
    EXPECT_EQ(sink.written.size(), room);
    EXPECT_TRUE(pauses.empty());
  }
}

TEST(FaultTest, MemoryRunningOutWhileReadingIsReported) {
  std::istringstream in("1\n");
  std::ostringstream out;
  Console con{in, out, [](int) {}, [] {},
              [](const std::string&) -> std::unique_ptr<DataSource> { return std::make_unique<NoMemorySource>(); }};
  EXPECT_EQ(RunZover(con), 1);
  EXPECT_EQ(AfterCover(out.str()), testing::kMenu + "\n\n ERROR: not enough memory for these data.\n");
}

}  // namespace
}  // namespace zover
