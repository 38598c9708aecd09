#include "dialogs/MsgWindow.h"

#include "kit/interface/Alert.h"
#include "kit/interface/ScrollView.h"
#include "messages/Messages.h"
#include "net/NetView.h"
#include "net/Protocol.h"

MsgWindow::MsgWindow(NetView* link, bool compose, const char* text, BMessenger* shown)
    : BWindow(BRect(250, 250, 375, 390), "Message", B_FLOATING_WINDOW,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE),
      netView(link) {
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
    if (!compose) {
        textView->SetText(text);
        textView->MakeEditable(false);
        sendButton->SetLabel("Reply");
    }
    if (shown != nullptr)
        *shown = BMessenger(this);
    SetGroup(link);
    Show();
}

void MsgWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_SEND_CHAT:
            if (!textView->IsEditable()) {
                new MsgWindow(netView, true, nullptr);
            } else if (netView->SendMessage(protocol::Chat(textView->Text()).c_str()) < 0) {
                // The text stays, to be sent once a peer is connected again.
                (new BAlert("Quillet", "The message was not sent: no other player is connected.",
                            "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT))
                    ->Go();
                break;
            }
            Quit();
            break;
        case MSG_CHAT_CONTINUED: {
            const char* more = nullptr;
            if (!textView->IsEditable() && message->FindString(FIELD_MSG, &more) == B_OK)
                textView->Append(more);
            break;
        }
        default:
            BWindow::MessageReceived(message);
    }
}
