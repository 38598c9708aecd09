// MainWindow: the program's one permanent window: menu bar, board, status row (link state, both
// scores, the move clock); it owns the network link and is the switchboard between the menus,
// the board and the link. Built on the main thread; everything else runs on the window's own
// thread.
#pragma once

#include <memory>

#include "game/GameView.h"
#include "kit/application/MessageRunner.h"
#include "kit/interface/MenuBar.h"
#include "kit/interface/StringView.h"
#include "kit/interface/Window.h"
#include "net/NetView.h"

class MainWindow : public BWindow {
public:
    MainWindow();

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    // The link; null once the window was asked to quit.
    NetView* Link() const { return netView.get(); }
    GameView* BoardView() const { return gameView; }

private:
    // "Disconnect" and "Send message", which need a link.
    void EnableLinkItems(bool enabled);
    void ResetClock();
    void ShowAbout();

    GameView* gameView;
    // Ended and released when the window is asked to quit.
    std::unique_ptr<NetView> netView;
    BStringView* statusView;
    BStringView* xScoreView;
    BStringView* oScoreView;
    BStringView* timeView;
    BMenuItem* disconnectItem;
    BMenuItem* sendMessageItem;
    int32 xScore;
    int32 oScore;
    int32 minutes;
    int32 seconds;
    // Ticks every second for as long as the window lives.
    std::unique_ptr<BMessageRunner> clockRunner;
};
