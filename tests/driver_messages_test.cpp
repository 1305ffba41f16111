#include "driver/messages.h"

#include <gtest/gtest.h>

namespace lexiform {
namespace {

// Every test run lasts well under a minute, so only this shows the minutes and hours.
TEST(ElapsedTimeTextTest, HoursMinutesAndSeconds) {
  using std::chrono::seconds;
  EXPECT_EQ(ElapsedTimeText(seconds(3), ":", false), "0:00:03");
  EXPECT_EQ(ElapsedTimeText(seconds(65), ":", false), "0:01:05");
  EXPECT_EQ(ElapsedTimeText(seconds(3599), ":", false), "0:59:59");
  EXPECT_EQ(ElapsedTimeText(seconds(3600), ":", false), "1:00:00");
  EXPECT_EQ(ElapsedTimeText(seconds(26 * 3600 + 61), ".", true), "26.01.01");
  EXPECT_EQ(ElapsedTimeText(seconds(7 * 3600 + 600), ":", true), "07:10:00");
}

} // namespace
} // namespace lexiform
