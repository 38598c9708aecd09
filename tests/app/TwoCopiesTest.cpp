// Two copies of the program in one process, each with its own link, on this test's own loopback.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"
#include "tests/Sockets.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kServer[] = "Quillet server", kClient[] = "Quillet client";
constexpr auto View = ViewOf;

// A view's text on the server copy, then on the client copy.
std::string Both(const char* view) {
    return View(kServer, view).text + "|" + View(kClient, view).text;
}

bool ChatShows(const std::string& text, bool editable) {
    const inspect::ViewInfo chat = View("Message", "Textruta");
    return chat.text == text && chat.editable == editable;
}

// Whether something listens on port 1777 of this loopback.
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

// A click at the centre of a cell on one copy (under the 20-pixel menu bar), seen on the other.
bool Play(const char* mover, const char* other, int column, int row, rgb_color colour) {
    return inspect::Click(mover, BPoint(column * 20 - 10, row * 20 + 10)) &&
           WaitUntil([&] { return Shows(other, column, row, colour); });
}

// Both copies open, the client connected to the server through its dialog; both closed at the
// end.
class TwoCopiesTest : public testing::Test {
protected:
    void SetUp() override {
        OpenCopy(kServer);
        ASSERT_TRUE(WaitUntil(PortTaken));  // so the second copy finds it taken, as on one machine
        OpenCopy(kClient);
        ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Connect...") &&
                    WaitUntil([] { return inspect::FindWindow("New game").has_value(); }) &&
                    inspect::Type("New game", "test", "127.0.0.1") &&
                    inspect::PressButton("New game", "ok"));
        ASSERT_TRUE(WaitUntil([] {
            return Both("status connect") == "Connected as server|Connected as client" &&
                   !inspect::FindWindow("New game");
        }));
    }
    void TearDown() override {
        inspect::Close(kClient);
        inspect::Close(kServer);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    }
};

}  // namespace

TEST_F(TwoCopiesTest, PlayAGameAndDisconnect) {
    // X, the client, moves first; five in the top row wins.
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(Play(kClient, kServer, column, 1, kRed) &&
                    Play(kServer, kClient, column, 2, kBlue));
    ASSERT_TRUE(inspect::Click(kClient, BPoint(90, 30)));  // cell 5, 1
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().size() == 2; })) << "a win on each";
    for (const size_t left : {1, 0})
        ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK") &&
                    WaitUntil([&] { return inspect::Alerts().size() == left; }));
    // The same score on both; the loser, O, opens the next game on both boards.
    ASSERT_TRUE(WaitUntil([] {
        return Both("x connect") == "X: 1|X: 1" && !Shows(kServer, 1, 1, kRed) &&
               !Shows(kClient, 1, 1, kRed);
    }));
    ASSERT_TRUE(Play(kServer, kClient, 8, 8, kBlue) && Play(kClient, kServer, 9, 9, kRed));

    // "Disconnect" on the client: both boards go back to a local game and listen again (the
    // second to try finds the port taken).
    ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Disconnect"));
    ASSERT_TRUE(WaitUntil([] {
        return View(kServer, "x connect").text == "X: 0" && !Shows(kServer, 8, 8, kBlue) &&
               !Shows(kClient, 8, 8, kBlue) && PortTaken() &&
               Both("status connect").find("Connected") == std::string::npos;
    }));
    // A local game on each: X moves, at either board.
    ASSERT_TRUE(Play(kServer, kServer, 3, 3, kRed) && Play(kClient, kClient, 4, 4, kRed));
}

TEST(TwoCopiesQuitTest, QuittingWithDialogsOpenWhileConnectedTellsThePeer) {
    OpenCopy(kServer);
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.ReadUntil("CON\n"));
    ASSERT_TRUE(peer.Send("MSG first") && WaitUntil([] { return ChatShows("first", false); }));
    ASSERT_TRUE(peer.Send("MSG second") &&
                WaitUntil([] { return inspect::Windows().size() == 3; }));
    ASSERT_TRUE(inspect::TriggerMenuItem(kServer, "Connect...") &&
                WaitUntil([] { return inspect::FindWindow("New game").has_value(); }));

    // As a terminal's Ctrl+C or the session's end would.
    be_app->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(
        WaitUntil([] { return be_app->CountWindows() == 0 && inspect::Windows().empty(); }));
}

// Two copies fill the whole board without five in a row: each sees the draw at once, no score
// changes, and O, who did not make the last move, opens the next game.
TEST_F(TwoCopiesTest, AFullBoardIsADrawOnBoth) {
    // Pairs of columns alternate between X and O, and every row flips them: no run is longer
    // than two. X, the client, has one cell more and moves first and last.
    std::vector<std::pair<int, int>> cells[2];
    for (int column = 1; column <= 15; ++column)
        for (int row = 1; row <= 15; ++row)
            cells[((column - 1) / 2 + row) % 2].emplace_back(column, row);
    ASSERT_EQ(cells[1].size(), 113u);
    for (size_t move = 0; move < 225; ++move) {
        const bool x = move % 2 == 0;
        const auto [column, row] = cells[x ? 1 : 0][move / 2];
        if (move == 224) {
            ASSERT_TRUE(inspect::Click(kClient, BPoint(column * 20 - 10, row * 20 + 10)));
            break;
        }
        ASSERT_TRUE(x ? Play(kClient, kServer, column, row, kRed)
                      : Play(kServer, kClient, column, row, kBlue))
            << move;
    }
    ASSERT_TRUE(WaitUntil([] {
        const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
        return alerts.size() == 2 && alerts[0].text == "Draw!" && alerts[1].text == "Draw!";
    }));
    for (const size_t left : {1, 0})
        ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK") &&
                    WaitUntil([&] { return inspect::Alerts().size() == left; }));
    ASSERT_TRUE(
        WaitUntil([] { return !Shows(kServer, 1, 1, kRed) && !Shows(kClient, 1, 1, kRed); }));
    EXPECT_EQ(Both("x connect") + " " + Both("o connect"), "X: 0|X: 0 O: 0|O: 0");
    ASSERT_TRUE(Play(kServer, kClient, 8, 8, kBlue) && Play(kClient, kServer, 9, 9, kRed));
}
