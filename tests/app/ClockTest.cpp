#include "app/Clock.h"

#include <gtest/gtest.h>

TEST(ClockTest, CountsSecondsIntoMinutesWithoutLimit) {
    int32 minutes = 0;
    int32 seconds = 0;
    EXPECT_EQ(ClockText(minutes, seconds), "00:00");
    for (int tick = 0; tick < 59; ++tick)
        AdvanceClock(minutes, seconds);
    EXPECT_EQ(ClockText(minutes, seconds), "00:59");
    AdvanceClock(minutes, seconds);
    EXPECT_EQ(ClockText(minutes, seconds), "01:00");
    for (int tick = 60; tick < 600; ++tick)
        AdvanceClock(minutes, seconds);
    EXPECT_EQ(ClockText(minutes, seconds), "10:00");
    for (int tick = 600; tick < 5999; ++tick)
        AdvanceClock(minutes, seconds);
    EXPECT_EQ(ClockText(minutes, seconds), "99:59");
    AdvanceClock(minutes, seconds);
    EXPECT_EQ(ClockText(minutes, seconds), "100:00");
}
