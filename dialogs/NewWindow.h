// NewWindow: the connect dialog "New game", modal to the application. The user types the peer's
// address and presses "Connect"; the link reports how the attempt ended (MSG_NET_GAME_START:
// the dialog closes; MSG_NET_GAME_END: it is ready for another try). "Cancel" stops an attempt
// and makes the dialog ready for another try too.
// Made by the main window, it shows itself and deletes itself when it closes; everything else
// runs on its own thread. It uses the link without owning it; the main window closes every
// dialog before it destroys the link.
#pragma once

#include "kit/interface/Button.h"
#include "kit/interface/TextControl.h"
#include "kit/interface/Window.h"

class NetView;

class NewWindow : public BWindow {
public:
    explicit NewWindow(NetView* link);
    ~NewWindow() override;

    void MessageReceived(BMessage* message) override;

private:
    // The idle look: the field enabled, holding the address typed last, the button "Connect".
    void ShowIdle();

    NetView* netView;
    BTextControl* addressField;
    BButton* connectButton;
};
