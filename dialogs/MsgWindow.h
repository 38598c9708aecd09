// MsgWindow: a chat window "Message". In compose mode the user types a text and "Send" hands it
// to the link as one chat line; in read mode it shows a received text, and more text that arrives
// for it in its inbox (MSG_CHAT_CONTINUED wakes it to take that), and "Reply" opens a compose
// window. Either way the window then closes, except that a text with no link to go on stays, and
// an alert tells the user it was not sent. A read window keeps only the newest text of a flood
// (chat::kKeptBytes, chat::kKeptLines). Made by the main window (or by a read window), it shows
// itself and deletes itself when it closes; everything else runs on its own thread. It uses the
// link without owning it; the main window closes every chat window before it destroys the link.
#pragma once

#include <memory>

#include "dialogs/ChatInbox.h"
#include "kit/interface/Button.h"
#include "kit/interface/TextView.h"
#include "kit/interface/Window.h"

class NetView;

class MsgWindow : public BWindow {
public:
    // compose: an empty, editable text; otherwise text (copied here) to read, and the inbox, if
    // any, where more of it arrives. shown, when given, is set to a messenger for the window
    // before it shows (and may quit at once). With an owner (the main window, which outlives
    // it) the window opens over it and stays in front of it. A read window opens without taking
    // the focus from the player, who may be typing or playing.
    MsgWindow(NetView* link, bool compose, const char* text, BMessenger* shown = nullptr,
              std::shared_ptr<chat::ChatInbox> inbox = nullptr, const BWindow* owner = nullptr);

    void MessageReceived(BMessage* message) override;

private:
    // Read mode: adds what the inbox holds, dropping the oldest lines past what is kept.
    void TakeInbox();

    BTextView* textView;
    BButton* sendButton;
    NetView* netView;
    const std::shared_ptr<chat::ChatInbox> inbox;
    // The window this one belongs to; a reply's window belongs to it too.
    const BWindow* const owner;
    // Lines of the text shown in read mode (its line feeds and one).
    size_t lines = 1;
};
