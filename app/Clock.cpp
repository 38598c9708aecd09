#include "app/Clock.h"

namespace {

std::string TwoDigitsAtLeast(bigtime_t value) {
    return (value <= 9 ? "0" : "") + std::to_string(value);
}

}  // namespace

std::string ClockText(bigtime_t elapsed) {
    const bigtime_t seconds = elapsed > 0 ? elapsed / 1000000 : 0;
    return TwoDigitsAtLeast(seconds / 60) + ":" + TwoDigitsAtLeast(seconds % 60);
}
