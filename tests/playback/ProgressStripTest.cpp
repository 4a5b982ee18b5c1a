#include <gtest/gtest.h>

#include "playback/ProgressStrip.h"

namespace ostrel::playback {
namespace {

TEST(ProgressStrip, FillsTheBarOfThePauseButtonByTruncatedShare) {
  struct Case {
    int percent;
    int fillWidth;
  };
  // The 128 × 40 pause button: a 120-pixel bar.
  const Case cases[] = {{-5, 0},  {0, 0},    {1, 1},     {30, 36},  {33, 39},
                        {50, 60}, {99, 118}, {100, 120}, {130, 120}};
  for (const Case& c : cases) {
    const StripRects rects = progressStripRects(128, 40, c.percent);
    EXPECT_EQ(rects.background, (ScreenRect{4, 32, 124, 34})) << c.percent;
    EXPECT_EQ(rects.fill.width(), c.fillWidth) << c.percent;
    if (c.fillWidth > 0) {
      EXPECT_EQ(rects.fill, (ScreenRect{4, 32, 4 + c.fillWidth, 34})) << c.percent;
    }
  }
  // Truncated, not rounded: 7 / 100 × 50 = 3.5.
  EXPECT_EQ(progressStripRects(15, 10, 50).fill.width(), 3);
  // A button too narrow for the insets draws nothing rather than a negative bar.
  EXPECT_EQ(progressStripRects(6, 10, 100).background.width(), 0);
}

TEST(ProgressStrip, ColoursAreRedBehindGreen) {
  EXPECT_EQ(rgbOfColourRef(kStripBackgroundColour), 0xFF0000u);
  EXPECT_EQ(rgbOfColourRef(kStripFillColour), 0x00FF00u);
}

}  // namespace
}  // namespace ostrel::playback
