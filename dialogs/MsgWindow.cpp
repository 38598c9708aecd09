#include "dialogs/MsgWindow.h"

#include "app/Constants.h"
#include "kit/interface/ScrollView.h"
#include "net/NetView.h"
#include "net/Protocol.h"

MsgWindow::MsgWindow(NetView* link, bool compose, const char* text)
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
    Show();
}

void MsgWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_SEND_CHAT:
            if (textView->IsEditable())
                // The text is the line's argument, never a format: percent signs go as typed.
                netView->SendMessage(protocol::Chat(textView->Text()).c_str());
            else
                new MsgWindow(netView, true, nullptr);
            Quit();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}
