// Desktop notifications: a short text that the desktop shows in the program's name (its desktop
// entry and icon), as GNOME's and KDE's notification bubbles. Safe from any thread; returns at
// once and never waits for the desktop. Each notification replaces the one shown before, so
// they never pile up. A desktop without a notification service shows nothing, and that is no
// error.
#pragma once

#include <string>

namespace kit {

void Notify(const std::string& summary, const std::string& body = {});

}  // namespace kit
