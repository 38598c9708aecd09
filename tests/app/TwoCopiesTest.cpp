// Two copies of the program in one process, each with its own link, on this test's own loopback.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kServer[] = "Quillet server", kClient[] = "Quillet client";

// A view's text on the server copy, then on the client copy.
std::string Both(const char* view) {
    return ViewOf(kServer, view).text + "|" + ViewOf(kClient, view).text;
}

// Whether something listens on port 1777 of this loopback; the probe binds, and so takes nothing.
bool PortTaken() {
    const Socket probe(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int reuse = 1;
    setsockopt(probe.fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const sockaddr_in address = Loopback(NET_PORT);
    return bind(probe.fd, AsAddress(address), sizeof address) != 0;
}

// A main window under a title of its own, so that the two can be told apart.
void OpenCopy(const char* title) {
    auto* window = new MainWindow();
    window->Lock();
    window->SetTitle(title);
    window->Unlock();
    EXPECT_TRUE(WaitUntil([&] { return inspect::FindWindow(title).has_value(); })) << title;
}

// An X crosses its cell's centre; an O's ring passes 8 pixels right of it.
bool Shows(const char* window, int column, int row, rgb_color colour) {
    const int x = column * 20 - 10 + (colour == kBlue ? 8 : 0);
    return inspect::Pixel(window, "gamruta", x, row * 20 - 10) == colour;
}

// A click at the centre of a cell on one copy (under the 20-pixel menu bar), seen on the other
// unless it ends the game.
bool Play(const char* mover, const char* other, int column, int row, rgb_color colour,
          bool ends = false) {
    return inspect::Click(mover, BPoint(column * 20 - 10, row * 20 + 10)) &&
           (ends || WaitUntil([&] { return Shows(other, column, row, colour); }));
}

// Whether a cell is empty on both boards.
bool EmptyOnBoth(int column, int row) {
    for (const char* copy : {kServer, kClient})
        if (Shows(copy, column, row, kRed) || Shows(copy, column, row, kBlue))
            return false;
    return true;
}

// Each copy announces the end of the game; after OK on each, both boards are empty.
bool BothAnnounce(const std::string& text) {
    bool shown = WaitUntil([&] {
        const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
        return alerts.size() == 2 && alerts[0].text == text && alerts[1].text == text;
    });
    for (const size_t left : {1, 0})
        shown = shown && inspect::PressAlertButton("Quillet", "OK") &&
                WaitUntil([&] { return inspect::Alerts().size() == left; });
    return shown && WaitUntil([] { return EmptyOnBoth(1, 1); });
}

}  // namespace

// Started together, the second copy finds the port taken and connects to the first through its
// dialog; they play a win and a full-board draw, and "Disconnect" leaves two local games.
TEST(TwoCopiesTest, PlayAWinAndADrawThenDisconnect) {
    OpenCopy(kServer);
    ASSERT_TRUE(WaitUntil(PortTaken));
    OpenCopy(kClient);
    ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Connect...") &&
                WaitUntil([] { return inspect::FindWindow("New game").has_value(); }) &&
                inspect::Type("New game", "test", "127.0.0.1") &&
                inspect::PressButton("New game", "ok"));
    ASSERT_TRUE(WaitUntil([] {
        return Both("status connect") == "Connected as server|Connected as client" &&
               !inspect::FindWindow("New game");
    }));

    // X, the client, moves first; five in the top row wins, and the loser, O, opens next.
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(Play(kClient, kServer, column, 1, kRed) &&
                    Play(kServer, kClient, column, 2, kBlue));
    ASSERT_TRUE(Play(kClient, kServer, 5, 1, kRed, true) && BothAnnounce("Player X won!"));

    // Pairs of columns alternate between the players, and every row flips them: no run is longer
    // than two. O has the one cell more, and moves first and last.
    std::vector<std::pair<int, int>> cells[2];
    for (int column = 1; column <= 15; ++column)
        for (int row = 1; row <= 15; ++row)
            cells[((column - 1) / 2 + row) % 2].emplace_back(column, row);
    for (size_t move = 0; move < 225; ++move) {
        const bool o = move % 2 == 0;
        const auto [column, row] = cells[o ? 1 : 0][move / 2];
        ASSERT_TRUE(o ? Play(kServer, kClient, column, row, kBlue, move == 224)
                      : Play(kClient, kServer, column, row, kRed))
            << move;
    }
    // A draw changes no score (the win counted on both), and X, who did not make the last move,
    // opens next.
    ASSERT_TRUE(BothAnnounce("Draw!"));
    EXPECT_EQ(Both("x connect") + " " + Both("o connect"), "X: 1|X: 1 O: 0|O: 0");
    ASSERT_TRUE(Play(kClient, kServer, 8, 8, kRed) && Play(kServer, kClient, 9, 9, kBlue));

    // Both boards go back to a local game and listen again (the second to try finds the port
    // taken); X moves at either board.
    ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Disconnect"));
    ASSERT_TRUE(WaitUntil([] {
        return ViewOf(kServer, "x connect").text == "X: 0" && EmptyOnBoth(8, 8) && PortTaken() &&
               Both("status connect").find("Connected") == std::string::npos;
    }));
    ASSERT_TRUE(Play(kServer, kServer, 3, 3, kRed) && Play(kClient, kClient, 4, 4, kRed));

    // A quit request (as a terminal's Ctrl+C or the session's end) with read windows and the
    // connect dialog open tells the peer of the copy that holds the port.
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.ReadUntil("CON\n"));
    ASSERT_TRUE(
        WaitUntil([] { return Both("status connect").find("as server") != std::string::npos; }));
    const char* served =
        ViewOf(kServer, "status connect").text == "Connected as server" ? kServer : kClient;
    ASSERT_TRUE(peer.Send("MSG hi") && WaitUntil([] { return ChatWindows().size() == 1; }));
    ASSERT_TRUE(inspect::TriggerMenuItem(served, "Connect...") &&
                WaitUntil([] { return inspect::FindWindow("New game").has_value(); }));
    be_app->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(
        WaitUntil([] { return be_app->CountWindows() == 0 && inspect::Windows().empty(); }));
}
