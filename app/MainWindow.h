// MainWindow: the program's one permanent window: menu bar, status row (link state, both
// scores, the move clock) and its one-second clock; it owns the network link. Built on the main
// thread; everything else runs on the window's own thread.
#pragma once

#include <memory>

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

private:
    // The link; ended and released when the window is asked to quit.
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
