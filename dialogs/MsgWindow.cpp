#include "dialogs/MsgWindow.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "kit/interface/Alert.h"
#include "kit/interface/ScrollView.h"
#include "messages/Messages.h"
#include "net/NetView.h"
#include "net/Protocol.h"

MsgWindow::MsgWindow(NetView* link, bool compose, const char* text, BMessenger* shown,
                     std::shared_ptr<chat::ChatInbox> inbox, const BWindow* owner)
    : BWindow(BRect(250, 250, 375, 390), "Message", B_FLOATING_WINDOW,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE | (compose ? 0u : uint32(B_OPEN_WITHOUT_FOCUS)),
              B_CURRENT_WORKSPACE),
      netView(link),
      inbox(std::move(inbox)),
      owner(owner) {
    const BRect bounds = Bounds();
    BRect frame = bounds;
    frame.right -= B_V_SCROLL_BAR_WIDTH;
    frame.bottom -= 25;
    textView = new BTextView(frame, "Textruta", frame.OffsetToCopy(B_ORIGIN), B_FOLLOW_ALL_SIDES,
                             B_WILL_DRAW | B_PULSE_NEEDED);
    AddChild(new BScrollView("scroll", textView, B_FOLLOW_ALL_SIDES, 0, false, true, B_NO_BORDER));
    textView->MakeFocus(true);
    sendButton = new BButton(BRect(30, bounds.bottom - 25, bounds.right - 30, bounds.bottom), "ok",
                             "Send", new BMessage(MSG_SEND_CHAT), B_FOLLOW_LEFT | B_FOLLOW_TOP,
                             B_WILL_DRAW | B_NAVIGABLE);
    AddChild(sendButton);
    // Tab leaves the text for the button; Ctrl+Tab types a tab, and Ctrl+Enter sends (replies).
    AddShortcut(B_ENTER, 0, new BMessage(MSG_SEND_CHAT));
    textView->SetAccessibleName(compose ? "Message to send" : "Message received");
    if (!compose) {
        textView->SetText(text);
        if (text != nullptr)
            lines += std::count(text, text + std::strlen(text), '\n');
        textView->MakeEditable(false);
        sendButton->SetLabel("Reply");
    }
    if (shown != nullptr)
        *shown = BMessenger(this);
    SetGroup(link);
    AddToSubset(owner);
    Show();
}

void MsgWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_SEND_CHAT:
            if (!textView->IsEditable()) {
                new MsgWindow(netView, true, nullptr, nullptr, nullptr, owner);
            } else if (netView->SendMessage(protocol::Chat(textView->Text()).c_str()) < 0) {
                // The text stays, to be sent once a peer is connected again.
                (new BAlert("Quillet", "The message was not sent: no other player is connected.",
                            "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))
                    ->Go();
                break;
            }
            Quit();
            break;
        case MSG_CHAT_CONTINUED:
            if (!textView->IsEditable() && inbox != nullptr)
                TakeInbox();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}

void MsgWindow::TakeInbox() {
    chat::ChatInbox::Taken more = inbox->Take();
    lines += std::count(more.text.begin(), more.text.end(), '\n');
    if (!more.dropped && textView->TextLength() + more.text.size() <= chat::kKeptBytes &&
        lines <= chat::kKeptLines) {
        textView->Append(more.text.c_str());
        return;
    }
    // The whole text is set again only once a quarter of what is kept has come since the last
    // time; meanwhile new text is appended.
    std::string all = more.dropped ? std::move(more.text) : textView->Text() + more.text;
    std::string kept(chat::kDroppedNotice);
    kept += chat::NewestLines(all);
    lines = std::count(kept.begin(), kept.end(), '\n') + 1;
    textView->SetText(kept.c_str());
}
