// MsgWindow: a chat window "Message". In compose mode the user types a text and "Send" hands it
// to the link as one chat line; in read mode it shows a received text (MSG_CHAT_CONTINUED adds to
// it) and "Reply" opens a compose window. Either way the window then closes, except that a text
// with no link to go on stays, and an alert tells the user it was not sent. Made by the main
// window (or by a read window), it shows itself and deletes itself when it closes; everything else
// runs on its own thread. It uses the link without owning it; the main window closes every chat
// window before it destroys the link.
#pragma once

#include "kit/interface/Button.h"
#include "kit/interface/TextView.h"
#include "kit/interface/Window.h"

class NetView;

class MsgWindow : public BWindow {
public:
    // compose: an empty, editable text; otherwise text (copied here) to read. shown, when given,
    // is set to a messenger for the window before it shows (and may quit at once).
    MsgWindow(NetView* link, bool compose, const char* text, BMessenger* shown = nullptr);

    void MessageReceived(BMessage* message) override;

private:
    BTextView* textView;
    BButton* sendButton;
    NetView* netView;
};
