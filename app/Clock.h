// The move clock's arithmetic: minutes and seconds since the turn last passed, shown as
// "MM:SS" with at least two digits each and minutes without limit. Plain C++.
#pragma once

#include <string>

#include "kit/kernel/OS.h"

// One second more: 00:59 becomes 01:00.
void AdvanceClock(int32& minutes, int32& seconds);
std::string ClockText(int32 minutes, int32 seconds);
