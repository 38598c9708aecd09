#include "app/Clock.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// The clock shows whole seconds passed, at least two digits a field, and minutes without end.
TEST(ClockTest, ShowsWholeMinutesAndSecondsWithoutLimit) {
    constexpr bigtime_t kSecond = 1000000;
    const std::pair<bigtime_t, std::string> shown[] = {
        {-5, "00:00"},
        {0, "00:00"},
        {kSecond - 1, "00:00"},
        {kSecond, "00:01"},
        {9 * kSecond, "00:09"},
        {10 * kSecond, "00:10"},
        {60 * kSecond - 1, "00:59"},
        {60 * kSecond, "01:00"},
        {599 * kSecond, "09:59"},
        {600 * kSecond, "10:00"},
        {5999 * kSecond, "99:59"},
        {6000 * kSecond, "100:00"},
        {86400 * kSecond, "1440:00"},
    };
    for (const auto& [elapsed, text] : shown)
        EXPECT_EQ(ClockText(elapsed), text) << elapsed << " us";
}
