#include "dialogs/NewWindow.h"

#include <cstring>

#include "dialogs/Connecting.h"
#include "messages/Messages.h"
#include "net/NetView.h"

NewWindow::NewWindow(NetView* link)
    : BWindow(BRect(250, 250, 425, 286), "New game", B_FLOATING_WINDOW,
              B_NOT_RESIZABLE | B_NOT_ZOOMABLE, B_CURRENT_WORKSPACE) {
    const BRect bounds = Bounds();
    // Enter in the field connects, as the button does; Escape closes the dialog as its close box.
    addressField = new BTextControl(BRect(bounds.left + 5, 5, bounds.left + 100, 20), "test", "",
                                    "", new BMessage(MSG_CONNECT_BUTTON),
                                    B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_NAVIGABLE);
    addressField->SetAccessibleName("Address of the other player");
    AddChild(addressField);
    addressField->SetDivider(0);
    connectButton = new BButton(BRect(bounds.right - 70, 5, bounds.right - 5, 20), "ok", "Connect",
                                new BMessage(MSG_CONNECT_BUTTON), B_FOLLOW_LEFT | B_FOLLOW_TOP,
                                B_WILL_DRAW | B_NAVIGABLE);
    AddChild(connectButton);
    SetFeel(B_MODAL_APP_WINDOW_FEEL);
    addressField->MakeFocus(true);
    netView = link;
    SetGroup(link);
    Show();
}

NewWindow::~NewWindow() {
    connecting::GiveUp(netView);
}

void NewWindow::ShowIdle() {
    addressField->SetEnabled(true);
    addressField->SetText(netView->Address());
    connectButton->SetLabel("Connect");
}

void NewWindow::MessageReceived(BMessage* message) {
    switch (message->what) {
        case MSG_CONNECT_BUTTON:
            if (std::strcmp(connectButton->Label(), "Cancel") == 0) {
                // Nothing connects any more: the dialog is ready for another try.
                netView->DisConnect(true, true);
                ShowIdle();
                break;
            }
            connecting::Start(netView, this, addressField->Text());
            addressField->SetEnabled(false);
            addressField->SetText("Connecting...");
            connectButton->SetLabel("Cancel");
            break;
        case MSG_NET_GAME_START:
            Quit();
            break;
        case MSG_NET_GAME_END:
            ShowIdle();
            break;
        default:
            BWindow::MessageReceived(message);
    }
}
