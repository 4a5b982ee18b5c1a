#include <gtest/gtest.h>

#include <string>

#include "recording/BlinkSchedule.h"

namespace ostrel::recording {
namespace {

// The icon over `steps` steps of 500 ms: '#' shown, '.' empty.
std::string look(BlinkSchedule& schedule, int steps) {
  std::string shown;
  for (int i = 0; i < steps; ++i) {
    shown += schedule.iconShown() ? '#' : '.';
    schedule.advance();
  }
  return shown;
}

TEST(BlinkSchedule, NormalFirstThenAlternatesUntilStopped) {
  BlinkSchedule schedule;
  EXPECT_EQ(look(schedule, 3), "###");  // idle: always normal
  schedule.start(-1);
  EXPECT_EQ(look(schedule, 6), "#.#.#.");
  EXPECT_TRUE(schedule.running());
  schedule.stop();  // pause or stop while the icon is empty
  EXPECT_TRUE(schedule.iconShown());
  EXPECT_FALSE(schedule.running());
  EXPECT_EQ(look(schedule, 2), "##");
}

TEST(BlinkSchedule, ARestartBeginsAgainAndAPositiveCountEndsByItself) {
  BlinkSchedule schedule;
  schedule.start(-1);
  look(schedule, 3);
  schedule.stop();
  schedule.start(-1);  // stop followed at once by a new start: one schedule, from the top
  EXPECT_EQ(look(schedule, 4), "#.#.");

  schedule.start(3);
  EXPECT_EQ(look(schedule, 6), "#.#.##");
  EXPECT_FALSE(schedule.running());
  schedule.start(0);
  EXPECT_FALSE(schedule.running());
}

}  // namespace
}  // namespace ostrel::recording
