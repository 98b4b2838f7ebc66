// Hostile input, run in-process: answers and data files that nobody means to
// give. The program must end through its own dialogue, take from a hostile
// answer exactly what it takes from the short answer it stands for, refuse a
// hostile file with its message, and never print "nan" or "inf".

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <map>
#include <string>

#include "support/non_finite.h"
#include "support/session.h"

namespace zover {
namespace {

using testing::AfterCover;
using testing::Count;
using testing::NoLowercaseNonFinite;
using testing::RunSession;
using testing::kMenu;

constexpr std::size_t kTenMegabytes = 10u << 20;

// A 10 MB answer at each kind of prompt gives the same dialogue as the short
// answer it stands for: a number followed by 10 MB of other text is that
// number, 10 MB of blanks before a number are skipped, and 10 MB of digits
// are a number too large to be finite, which counts as no number, as
// "1e999" does.
TEST(HostileAnswerTest, TenMegabyteLineAtEveryPrompt) {
  struct Prompt {
    const char* name;
    std::string before;  // answers up to the prompt
    const char* value;   // the answer given there
    std::string after;   // answers after it
  };
  // Mode 4, K = R = 2, n = 10, agreements 5 and 5; mode 3, K = R = 2, n = 10.
  const std::string model = "4\n2\n2\n10\n5\n0\n0\n5\n0\n0\n";
  const Prompt prompts[] = {
      {"menu", "", "4", "2\n2\n10\n5\n0\n0\n5\n0\n0\n1\n"},
      {"K", "4\n", "2", "2\n10\n5\n0\n0\n5\n0\n0\n1\n"},
      {"R", "4\n2\n", "2", "10\n5\n0\n0\n5\n0\n0\n1\n"},
      {"n", "4\n2\n2\n", "10", "5\n0\n0\n5\n0\n0\n1\n"},
      {"agreement", "4\n2\n2\n10\n", "5", "0\n0\n5\n0\n0\n1\n"},
      {"disagreement", "4\n2\n2\n10\n5\n", "0", "0\n5\n0\n0\n1\n"},
      {"frequency", "3\n2\n2\n10\n", "4", "1\n1\n4\n1\n"},
      {"end prompt", model, "1", model + "0\n"},
  };
  struct Variant {
    const char* name;
    std::string (*hostile)(const char* value);
    std::string (*standsFor)(const char* value);
  };
  const Variant variants[] = {
      {"number then text", [](const char* v) { return v + std::string(kTenMegabytes, 'x'); },
       [](const char* v) { return std::string(v); }},
      {"blanks then number", [](const char* v) { return std::string(kTenMegabytes, ' ') + v; },
       [](const char* v) { return std::string(v); }},
      {"digits only", [](const char*) { return std::string(kTenMegabytes, '9'); },
       [](const char*) { return std::string("1e999"); }},
  };
  for (const Prompt& p : prompts) {
    for (const Variant& v : variants) {
      SCOPED_TRACE(std::string(p.name) + ", " + v.name);
      // After an unusable answer the prompt asks again and takes the value.
      const std::string retry = std::string(v.name) == "digits only" ? std::string(p.value) + "\n" : "";
      const auto hostile = RunSession(p.before + v.hostile(p.value) + "\n" + retry + p.after);
      const auto reference = RunSession(p.before + v.standsFor(p.value) + "\n" + retry + p.after);
      EXPECT_EQ(hostile.status, reference.status);
      EXPECT_EQ(hostile.output, reference.output);
      EXPECT_EQ(hostile.pauses, reference.pauses);
      EXPECT_LT(hostile.output.size(), 64u << 10);  // nothing of the line is echoed
    }
  }
}

// Files of bytes that are no data: each is refused with the message naming
// the first fault, and the menu comes back.
TEST(HostileFileTest, RefusesBytesThatAreNoData) {
  const std::string raw = "\nERROR in file \"Zover_data.txt\"";
  const std::string freq = "\nERROR in file \"Zover_data_freq.txt\"";
  const std::string notClass = ": not a class number from 1 to 1000.\n";
  const std::string notFrequency = ": not a frequency (a whole number from 0 to 1000000000).\n";
  const struct {
    const char* name;
    int mode;
    std::string content;
    std::string message;
  } cases[] = {
      {"NUL in a class", 1, std::string("1 2\n2 1\0\n", 9), raw + ", line 2, field 2" + notClass},
      {"line of NULs", 1, std::string("\0\0\0\n1 2\n", 8), raw + ": at least 2 raters (columns) are needed.\n"},
      {"NUL as separator", 1, std::string("1\0" "2\n2 1\n", 8), raw + ": at least 2 raters (columns) are needed.\n"},
      {"bytes that are not UTF-8", 1, "1 2\n\xFF\xFE 1\n", raw + ", line 2, field 1" + notClass},
      {"Latin-1 letter", 1, "1 2\n2 \xE9\n", raw + ", line 2, field 2" + notClass},
      {"half a byte-order mark", 1, "\xEF\xBB" "1 2\n2 1\n", raw + ", line 1, field 1" + notClass},
      {"lone carriage returns", 1, "1 2\r2 1\r1 1\r", raw + ", line 1, field 2" + notClass},
      {"20-digit class", 1, "1 12345678901234567890\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"class +3", 1, "1 +3\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"class 3.0", 1, "1 3.0\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"class 0", 1, "1 0\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"class -2", 1, "1 -2\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"class 1001", 1, "1 1001\n2 1\n", raw + ", line 1, field 2" + notClass},
      {"NUL in a frequency", 2, std::string("1 2 3\n2 1 \0\n", 12), freq + ", line 2, field 3" + notFrequency},
      {"frequency 1000000001", 2, "1 2 1000000001\n2 1 1\n", freq + ", line 1, field 3" + notFrequency},
      {"20-digit frequency", 2, "1 2 12345678901234567890\n2 1 1\n", freq + ", line 1, field 3" + notFrequency},
      {"frequency +3", 2, "1 2 +3\n2 1 1\n", freq + ", line 1, field 3" + notFrequency},
      {"frequency 3.0", 2, "1 2 3.0\n2 1 1\n", freq + ", line 1, field 3" + notFrequency},
      {"frequency -2", 2, "1 2 -2\n2 1 1\n", freq + ", line 1, field 3" + notFrequency},
      {"class 0 with frequency", 2, "1 0 3\n2 1 1\n", freq + ", line 1, field 2" + notClass},
      {"class -2 with frequency", 2, "-2 1 3\n2 1 1\n", freq + ", line 1, field 1" + notClass},
      {"bytes that are not UTF-8, frequencies", 2, "1 2 3\n2 \x80\x81 1\n", freq + ", line 2, field 2" + notClass},
      {"frequencies above 10^9 in all", 2, "1 2 1000000000\n2 1 1\n",
       freq + ": the frequencies add up to more than 1000000000 objects.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const char* file = c.mode == 1 ? "Zover_data.txt" : "Zover_data_freq.txt";
    const auto run = RunSession(std::to_string(c.mode) + "\n", {{file, c.content}});
    EXPECT_EQ(AfterCover(run.output), kMenu + c.message + kMenu + "\n");
    EXPECT_EQ(run.status, 0);
  }
}

// Values at the edges that are data all the same.
TEST(HostileFileTest, AcceptsEdgeValues) {
  struct Case {
    const char* name;
    int mode;
    std::string content;
    const char* rawLine;
  };
  const Case cases[] = {
      {"20 digits with leading zeros", 1, "00000000000000000001 2\n00000000000000000002 2\n",
       "\n\n Raw = 0.5000 and n = 2"},
      {"frequencies adding up to 10^9", 2, "1 1 999999999\n2 2 1\n", "\n\n Raw = 1.0000 and n = 1000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* file = c.mode == 1 ? "Zover_data.txt" : "Zover_data_freq.txt";
    const auto run = RunSession(std::to_string(c.mode) + "\n", {{file, c.content}});
    EXPECT_EQ(Count(run.output, c.rawLine), 1);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(NoLowercaseNonFinite(run.output));
  }
}

long PeakResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A million identical lines that use class 1000: the memory of the pass
// follows the distinct response tuples (one here), not n * K. A table of
// every object by every class took 4 GB here.
TEST(HostileFileTest, MillionIdenticalLinesKeepMemoryInProportion) {
  std::string lines;
  for (int i = 0; i < 1000001; ++i) lines += "1000 1\n";
  const long before = PeakResidentKilobytes();
  const auto run = RunSession("1\n", {{"Zover_data.txt", lines}});
  const long grown = PeakResidentKilobytes() - before;
  EXPECT_EQ(Count(run.output, "\n\n Raw = 0.0000 and n = 1000001"), 1);
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(grown, 1L << 20) << "kilobytes";  // well below 1 GB
}

// Agreements typed in mode 4 at the edges of what a double holds: 1e308 can
// never add up with the disagreements (it asks again), -0 counts as 0.
TEST(HostileAnswerTest, ExtremeAgreementsInModelEntry) {
  const std::string retry = "\n\n ERROR in the data entry. Introduce again.";
  struct Case {
    const char* name;
    std::string answers;
    std::string standsFor;
    int retries;
  };
  const Case cases[] = {
      {"1e308", "1e308\n0\n0\n5\n0\n0\n5\n0\n0\n5\n0\n0\n", "", 1},
      {"1e308 as a disagreement", "5\n1e308\n0\n5\n0\n0\n5\n0\n0\n5\n0\n0\n", "", 1},
      {"-1e308 asked again", "-1e308\n5\n0\n0\n5\n0\n0\n", "", 0},
      {"-0", "-0\n5\n5\n5\n0\n0\n", "0\n5\n5\n5\n0\n0\n", 0},
      {"4.9e-324", "4.9e-324\n5\n5\n5\n0\n0\n", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = RunSession("4\n2\n2\n10\n" + c.answers + "1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.output, retry), c.retries);
    EXPECT_EQ(Count(run.output, "\n\n Raw = "), 1);
    EXPECT_TRUE(NoLowercaseNonFinite(run.output));
    if (!c.standsFor.empty()) {
      EXPECT_EQ(run.output, RunSession("4\n2\n2\n10\n" + c.standsFor + "1\n").output);
    }
  }
}

// Data whose fit or kappa is not a number or infinite print "NaN", "Inf" or
// "-Inf", never the C library's "nan", "-nan" or "inf".
TEST(HostileAnswerTest, NonFiniteResultsAreSpelledOut) {
  struct Case {
    const char* name;
    std::string answers;
    std::map<std::string, std::string> files;
    const char* expected;
  };
  const Case cases[] = {
      // All ratings in class 1 of 2: the chance agreement is 1.
      {"one class used, frequencies", "2\n", {{"Zover_data_freq.txt", "1 1 5\n2 2 0\n"}},
       "\n\n Fleiss' kappa = NaN \xC2\xB1 NaN"},
      {"one class used, model data", "4\n3\n4\n4\n0\n0\n0\n0\n0\n4\n0\n0\n0\n0\n0\n0\n0\n0\n0\n", {},
       "\n\n Hubert's kappa (DeMoivre or HR) = NaN"},
      // Both raters always in class 1, never agreeing on it: 0 - 1 over 0.
      {"chance agreement 1 without agreements", "4\n2\n2\n2\n0\n0\n0\n1\n1\n1\n", {},
       "\n\n Hubert's (Cohen's) kappa = -Inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = RunSession(c.answers, c.files);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.output, c.expected), 1);
    EXPECT_TRUE(NoLowercaseNonFinite(run.output));
  }
}

}  // namespace
}  // namespace zover
