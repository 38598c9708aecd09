#include "app/Clock.h"

namespace {

std::string TwoDigitsAtLeast(int32 value) {
    return (value <= 9 ? "0" : "") + std::to_string(value);
}

}  // namespace

void AdvanceClock(int32& minutes, int32& seconds) {
    if (seconds++ == 59) {
        ++minutes;
        seconds = 0;
    }
}

std::string ClockText(int32 minutes, int32 seconds) {
    return TwoDigitsAtLeast(minutes) + ":" + TwoDigitsAtLeast(seconds);
}
