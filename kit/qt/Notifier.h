// The sender of desktop notifications (kit::qt::Notify) as the rest of kit/qt sees it. GUI
// thread only.
#pragma once

#include <QString>

namespace kit::qt {

// The name the notifications give the program (its desktop entry's Name); before the first one.
void SetNotificationAppName(const QString& name);
// Stops the sender's thread, waiting a second at most for a call to the bus that hangs; from the
// application's end.
void EndNotifications();

}  // namespace kit::qt
