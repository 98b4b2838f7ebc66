// The same observed data given as a raw responses file (mode 1), as a
// frequencies file (mode 2) and typed as frequencies (mode 3) must print the
// same raw agreement line, kappa lines and model report.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "input/input_fixtures.h"
#include "support/session.h"

namespace zover {
namespace {

using testing::RunSession;

// The analysis of the first pass: from the raw agreement line up to the end
// prompt.
std::string Analysis(const std::string& output) {
  const std::size_t from = output.find("\n\n Raw = ");
  const std::size_t to = output.find("\n\n\n 0-END");
  if (from == std::string::npos || to == std::string::npos) return "no analysis in:\n" + output;
  return output.substr(from, to - from);
}

TEST(CrossModeTest, RawFileFrequenciesFileAndTypedFrequenciesAgree) {
  std::mt19937 random(8122026u);
  for (int set = 0; set < 40; ++set) {
    const testing::RandomData d = testing::MakeRandomData(random);
    SCOPED_TRACE("data set " + std::to_string(set) + ":\n" + d.raw);
    const std::string raw = Analysis(RunSession("1\n", {{"Zover_data.txt", d.raw}}).output);
    const std::string freq = Analysis(RunSession("2\n", {{"Zover_data_freq.txt", d.freq}}).output);
    const std::string typed =
        Analysis(RunSession("3\n" + std::to_string(d.K) + "\n" + std::to_string(d.R) + "\n" +
                            std::to_string(static_cast<int>(d.n)) + "\n" + d.typed)
                     .output);
    EXPECT_EQ(freq, raw);
    EXPECT_EQ(typed, raw);
  }
}

}  // namespace
}  // namespace zover
