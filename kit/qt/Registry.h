// The GUI thread's table of peers by id. GUI thread only; Qt inside kit/qt alone.
#pragma once

#include <QObject>
#include <QPointer>

#include "kit/qt/Bridge.h"

namespace kit::qt {

void RegisterPeer(PeerId id, QObject* peer);
QObject* FindPeerObject(PeerId id);
void ForgetPeer(PeerId id);

// Gives every window, shown or to come, the program's icon, soon after the first is shown.
void GiveWindowsTheProgramIcon();

template <typename T>
T* FindPeer(PeerId id) {
    return qobject_cast<T*>(FindPeerObject(id));
}

// The property that marks a top-level widget as a kit window, and one that marks an alert.
inline constexpr char kWindowProperty[] = "kitWindow";
inline constexpr char kAlertProperty[] = "kitAlert";

}  // namespace kit::qt
