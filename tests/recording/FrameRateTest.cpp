#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "recording/FrameRate.h"

namespace ostrel::recording {
namespace {

TEST(FrameRateCheck, PutsOneOrTwentyFiveBackOnlyWhenOutOfRange) {
  struct Case {
    const char* text;
    std::optional<std::string> corrected;
  };
  const std::vector<Case> cases = {
      {"", "1"},
      {"0", "1"},
      {"-3", "1"},
      {"abc", "1"},
      {"1", std::nullopt},
      {"8", std::nullopt},
      {"25", std::nullopt},
      {"26", "25"},
      {"30", "25"},
      {"99999999999", "25"},
      {"8x", std::nullopt},
      {" 7", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(correctedFrameRateText(c.text), c.corrected) << '"' << c.text << '"';
}

}  // namespace
}  // namespace ostrel::recording
