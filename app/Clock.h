// The move clock's arithmetic: the time since the turn last passed, in whole minutes and seconds,
// shown as "MM:SS" with at least two digits each and minutes without limit. Plain C++.
#pragma once

#include <string>

#include "kit/kernel/OS.h"

// elapsed: microseconds since the turn passed (a negative time shows as none).
std::string ClockText(bigtime_t elapsed);
