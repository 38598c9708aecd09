// MainWindow: the program's one permanent window: menu bar, board, status row (link state, both
// scores, the move clock); it owns the network link, and the port mapper that opens the link's
// port on the home router while it listens, and is the switchboard between the menus, the board
// and the link. It shows received chats in at most kMaxReadWindows read windows. Built
// on the main thread; everything else runs on the window's own thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/ChatInbox.h"
#include "game/GameView.h"
#include "kit/application/MessageRunner.h"
#include "kit/interface/FilePanel.h"
#include "kit/interface/MenuBar.h"
#include "kit/interface/StringView.h"
#include "kit/interface/Window.h"
#include "net/Nearby.h"
#include "net/NetView.h"
#include "net/PortMapper.h"

class MainWindow : public BWindow {
public:
    MainWindow();

    // Read windows open at once; further chats go on in the newest.
    static constexpr size_t kMaxReadWindows = 16;
    // The status row's height at the reference font; the style may make it higher.
    static constexpr float kStatusHeight = 20;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    // The link; null once the window was asked to quit.
    NetView* Link() const { return netView.get(); }
    GameView* BoardView() const { return gameView; }

private:
    // Tells the port mapper and the players nearby whether the link listens, until the window
    // quits: the port is open on the router and this copy announced exactly while it listens.
    void SetListening(bool listening);
    // "Disconnect" and "Send message", which need a link.
    void EnableLinkItems(bool enabled);
    // The status row shows the link's state text, unless an engine's message is shown.
    void SetLinkStatus(const char* text);
    // The clock shows "00:00" in color and counts from now.
    void ResetClock(rgb_color color = COLOR_X);
    void ShowAbout();
    // Tells the user that count messages were lost with a link that ended.
    void ShowUndelivered(int32 count);
    // A received chat: in a read window of its own, or at the end of the newest when
    // kMaxReadWindows are open.
    void ShowChat(const char* text);
    // More of the chat received last, in the window that shows it.
    void ContinueChat(const char* text);

    GameView* gameView;
    // Opens port 1777 on the home router while the link listens; released after the link.
    std::unique_ptr<PortMapper> portMapper;
    // The players nearby; released when the window is asked to quit, which withdraws this copy.
    std::unique_ptr<nearby::Nearby> playersNearby;
    // Ended and released when the window is asked to quit.
    std::unique_ptr<NetView> netView;
    BStringView* statusView;
    std::string linkStatus;
    // The chooser of an engine's program, made when first asked for.
    std::unique_ptr<BFilePanel> enginePanel;
    BStringView* xScoreView;
    BStringView* oScoreView;
    BStringView* timeView;
    BMenuItem* disconnectItem;
    BMenuItem* sendMessageItem;
    // "Computer level": Easy, Medium, Hard, in engine::Level's order.
    BMenu* levelMenu;
    int32 xScore;
    int32 oScore;
    // When the turn passed: the clock shows the time since, however late a tick is handled (one
    // that waited behind an alert).
    bigtime_t turnStarted;
    // Ticks every second from when the turn passed, for as long as the window lives.
    std::unique_ptr<BMessageRunner> clockRunner;
    // A read window this window opened, and the inbox through which it gets more text.
    struct ReadWindow {
        BMessenger window;
        std::shared_ptr<chat::ChatInbox> inbox;
    };
    // Hands text to the read window; false when that window is gone.
    static bool Forward(const ReadWindow& reader, std::string_view text);
    // The read windows, oldest first (those closed since are dropped when a chat comes), and the
    // one that shows the chat received last.
    std::vector<ReadWindow> readWindows;
    ReadWindow lastChat;
};
