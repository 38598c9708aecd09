#include "app/Clock.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

// Ticked from 00:00, the clock reads at least two digits a field and counts minutes without end.
TEST(ClockTest, CountsSecondsIntoMinutesWithoutLimit) {
    const std::map<int, std::string> shown = {
        {0, "00:00"},   {9, "00:09"},   {10, "00:10"},   {59, "00:59"},    {60, "01:00"},
        {599, "09:59"}, {600, "10:00"}, {5999, "99:59"}, {6000, "100:00"},
    };
    int32 minutes = 0;
    int32 seconds = 0;
    for (int tick = 0; tick <= shown.rbegin()->first; ++tick) {
        if (const auto it = shown.find(tick); it != shown.end()) {
            EXPECT_EQ(ClockText(minutes, seconds), it->second) << tick << " ticks";
        }
        AdvanceClock(minutes, seconds);
    }
}
