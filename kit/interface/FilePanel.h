// BFilePanel: the open-file chooser. Show opens it and returns at once; the window that asked goes
// on with its messages meanwhile. The file the user picks comes back to the target as a copy of
// the panel's message with the file's path in the string field "path"; cancelling sends nothing.
// Showing the panel again replaces a chooser still open; destroying it closes one.
//
// Threads: used by one thread at a time (its window's).
#pragma once

#include <string>

#include "kit/application/Message.h"
#include "kit/application/Messenger.h"
#include "kit/qt/Bridge.h"

class BFilePanel {
public:
    BFilePanel(const BMessenger& target, const BMessage& message, const char* title);
    ~BFilePanel();
    BFilePanel(const BFilePanel&) = delete;
    BFilePanel& operator=(const BFilePanel&) = delete;

    void Show();

private:
    const BMessenger fTarget;
    const BMessage fMessage;
    const std::string fTitle;
    kit::qt::PeerId fPeer = 0;  // 0 until shown
};
