#include "game/GameView.h"

#include <gtest/gtest.h>

#include <string>

#include "app/Constants.h"
#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/RawPeer.h"
#include "tests/TestSupport.h"

using testing_support::RawPeer;
using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kTitle[] = "Quillet 1.4";
constexpr char kBoard[] = "gamruta";
constexpr rgb_color kRed = {255, 0, 0, 255};
constexpr rgb_color kBlue = {0, 0, 255, 255};
constexpr rgb_color kBlack = {0, 0, 0, 255};
constexpr rgb_color kWhite = {255, 255, 255, 255};

// The centre of a cell in window coordinates: the board starts under the 20-pixel menu bar.
BPoint CellPoint(int column, int row) {
    return BPoint((column - 1) * 20 + 10, (row - 1) * 20 + 10 + 20);
}

bool ClickCell(int column, int row) {
    return inspect::Click(kTitle, CellPoint(column, row));
}

// A pixel of the board at view point (x, y).
bool PixelIs(int x, int y, rgb_color color) {
    std::optional<rgb_color> pixel = inspect::Pixel(kTitle, kBoard, x, y);
    return pixel && *pixel == color;
}

// Both diagonals of the cell, inside the ring's inner edge (the centre is where they cross).
bool CrossIs(int column, int row, rgb_color color) {
    const int x = (column - 1) * 20, y = (row - 1) * 20;
    return PixelIs(x + 10, y + 10, color) && PixelIs(x + 5, y + 5, color) &&
           PixelIs(x + 14, y + 14, color) && PixelIs(x + 5, y + 14, color) &&
           PixelIs(x + 14, y + 5, color);
}

// Top, left and right of the ring of radius 8 around the centre.
bool RingIs(int column, int row, rgb_color color) {
    const int x = (column - 1) * 20, y = (row - 1) * 20;
    return PixelIs(x + 10, y + 2, color) && PixelIs(x + 2, y + 10, color) &&
           PixelIs(x + 17, y + 10, color);
}

bool CrossAt(int column, int row) {
    return CrossIs(column, row, kRed) && RingIs(column, row, kWhite);
}
bool RingAt(int column, int row) {
    return RingIs(column, row, kBlue) && CrossIs(column, row, kWhite);
}
bool EmptyAt(int column, int row) {
    return CrossIs(column, row, kWhite) && RingIs(column, row, kWhite);
}

std::string Text(const char* view) {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kTitle);
    const inspect::ViewInfo* info = window ? window->View(view) : nullptr;
    return info != nullptr ? info->text : std::string();
}

bool ClockIs(rgb_color color) {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kTitle);
    const inspect::ViewInfo* clock = window ? window->View("time status") : nullptr;
    return clock != nullptr && clock->color == color;
}

std::string MoveLine(int column, int row) {
    return "PUT " + std::to_string(column) + " " + std::to_string(row);
}

bool AlertShown(const std::string& text) {
    for (const inspect::AlertInfo& alert : inspect::Alerts()) {
        if (alert.title == "Quillet" && alert.text == text &&
            alert.buttons == std::vector<std::string>{"OK"})
            return true;
    }
    return false;
}

class GameViewTest : public testing::Test {
protected:
    void SetUp() override {
        window = new MainWindow();
        // Shown, and the board's grid drawn.
        ASSERT_TRUE(
            WaitUntil([] { return !Text("time status").empty() && PixelIs(0, 10, kBlack); }));
    }
    void TearDown() override {
        if (forcedClient)
            window->Link()->linkState = LINK_NOT_CONNECTED;
        // A window thread waiting for an alert would not quit.
        for (const inspect::AlertInfo& alert : inspect::Alerts())
            inspect::PressAlertButton(alert.title, "OK");
        ASSERT_TRUE(inspect::Close(kTitle));
        EXPECT_TRUE(
            WaitUntil([] { return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0; }));
    }

    MainWindow* window = nullptr;
    bool forcedClient = false;
};

TEST_F(GameViewTest, LocalClicksAlternateAndDrawMarksOnTheGrid) {
    ASSERT_TRUE(ClickCell(3, 4));
    ASSERT_TRUE(WaitUntil([] { return CrossAt(3, 4) && ClockIs(kBlue); })) << "X first";
    ASSERT_TRUE(ClickCell(4, 4));
    ASSERT_TRUE(WaitUntil([] { return RingAt(4, 4) && ClockIs(kRed); })) << "then O";

    // The grid right beside the marks is untouched; an empty cell is white.
    EXPECT_TRUE(PixelIs(60, 70, kBlack)) << "left of the ring";
    EXPECT_TRUE(PixelIs(50, 60, kBlack)) << "above the cross";
    EXPECT_TRUE(PixelIs(40, 70, kBlack)) << "left of the cross";
    EXPECT_TRUE(EmptyAt(5, 5));

    // An occupied cell takes nothing and keeps the turn: the next click is still X's.
    ASSERT_TRUE(ClickCell(3, 4));
    ASSERT_TRUE(ClickCell(6, 6));
    ASSERT_TRUE(WaitUntil([] { return CrossAt(6, 6) && ClockIs(kBlue); }));
    EXPECT_TRUE(CrossAt(3, 4));
    EXPECT_TRUE(RingAt(4, 4));

    // The last row lies under the status texts, which let the press through to the board.
    ASSERT_TRUE(inspect::Click(kTitle, BPoint(50, 315)));
    ASSERT_TRUE(WaitUntil([] { return RingAt(3, 15) && ClockIs(kRed); }));
    EXPECT_EQ(Text("status connect"), "Listen for connections...");
}

TEST_F(GameViewTest, FiveInARowIsAnnouncedAndTheLoserStartsTheNextGame) {
    for (int column = 1; column <= 4; ++column) {
        ASSERT_TRUE(ClickCell(column, 1));
        ASSERT_TRUE(WaitUntil([&] { return CrossAt(column, 1); }));
        ASSERT_TRUE(ClickCell(column, 2));
        ASSERT_TRUE(WaitUntil([&] { return RingAt(column, 2); }));
    }
    EXPECT_TRUE(inspect::Alerts().empty());
    ASSERT_TRUE(ClickCell(5, 1));
    ASSERT_TRUE(WaitUntil([] { return AlertShown("Player X won!"); }));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));

    ASSERT_TRUE(WaitUntil([] {
        return Text("x connect") == "X: 1" && ClockIs(kBlue) && EmptyAt(1, 1) && EmptyAt(5, 1) &&
               EmptyAt(1, 2) && EmptyAt(4, 2);
    })) << "an empty board with O to move";
    EXPECT_EQ(Text("o connect"), "O: 0");
    EXPECT_TRUE(PixelIs(20, 10, kBlack)) << "the grid is drawn again";

    ASSERT_TRUE(ClickCell(8, 8));
    ASSERT_TRUE(WaitUntil([] { return RingAt(8, 8) && ClockIs(kRed); }));
}

TEST_F(GameViewTest, NewestMarkBlinksFiveTimesAndEndsDrawn) {
    ASSERT_TRUE(ClickCell(8, 8));
    const int x = 7 * 20 + 10, y = 7 * 20 + 10;
    ASSERT_TRUE(WaitUntil([&] { return PixelIs(x, y, kRed); }));

    int cycles = 0;
    bool erased = false;
    ASSERT_TRUE(WaitUntil([&] {
        if (PixelIs(x, y, kWhite)) {
            erased = true;
        } else if (erased && PixelIs(x, y, kRed)) {
            erased = false;
            ++cycles;
        }
        return cycles == 5;
    })) << cycles
        << " erase/redraw cycles seen";
    EXPECT_TRUE(PixelIs(x, y, kRed));

    // It stays drawn: watch it until the move clock has ticked twice more.
    int whiteSamples = 0, clockChanges = 0;
    std::string clock = Text("time status");
    ASSERT_TRUE(WaitUntil([&] {
        whiteSamples += PixelIs(x, y, kRed) ? 0 : 1;
        const std::string now = Text("time status");
        if (now != clock) {
            clock = now;
            ++clockChanges;
        }
        return clockChanges == 2;
    }));
    EXPECT_EQ(whiteSamples, 0);
    EXPECT_TRUE(CrossAt(8, 8));
}

TEST_F(GameViewTest, RedrawingAFiveAnnouncesNothing) {
    ASSERT_TRUE(window->Lock());
    for (int column = 3; column <= 7; ++column)
        EXPECT_EQ(window->BoardView()->UpdateGame(column, 5, PLAYER_X), 1);
    window->BoardView()->Invalidate();
    // Handled after the redraw: the clock turning blue says the redraw is done.
    BMessage sentinel(MSG_TURN);
    sentinel.AddInt8(FIELD_PLAYER, static_cast<int8>(PLAYER_O));
    window->PostMessage(&sentinel);
    window->Unlock();

    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue) || !inspect::Alerts().empty(); }));
    EXPECT_TRUE(inspect::Alerts().empty());
    EXPECT_TRUE(WaitUntil([] {
        return CrossAt(3, 5) && CrossAt(4, 5) && CrossAt(5, 5) && CrossAt(6, 5) && CrossAt(7, 5);
    }));
    EXPECT_EQ(Text("x connect"), "X: 0");
}

TEST_F(GameViewTest, RawPeerAndServerTakeTurns) {
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_EQ(peer.Line(), "CON");
    ASSERT_TRUE(WaitUntil([] { return Text("status connect") == "Connected as server"; }));

    // Each move is ordered by waiting until it is drawn and the clock has turned.
    auto peerMove = [&](int column, int row) -> testing::AssertionResult {
        if (!peer.Send(MoveLine(column, row) + "\n"))
            return testing::AssertionFailure() << "send failed";
        if (!WaitUntil([&] { return CrossAt(column, row) && ClockIs(kBlue); }))
            return testing::AssertionFailure()
                   << "peer's " << MoveLine(column, row) << " not shown";
        return testing::AssertionSuccess();
    };
    auto ownMove = [&](int column, int row) -> testing::AssertionResult {
        if (!ClickCell(column, row) ||
            !WaitUntil([&] { return RingAt(column, row) && ClockIs(kRed); }))
            return testing::AssertionFailure() << "own " << MoveLine(column, row) << " not shown";
        const std::string line = peer.Line();
        if (line != MoveLine(column, row))
            return testing::AssertionFailure() << "the peer got \"" << line << "\"";
        return testing::AssertionSuccess();
    };

    // X moves first: a click here now draws and sends nothing.
    ASSERT_TRUE(ClickCell(1, 1));
    ASSERT_TRUE(peerMove(8, 3));
    EXPECT_TRUE(EmptyAt(1, 1));
    ASSERT_TRUE(ownMove(5, 5));  // the first line the peer gets after the greeting

    // Cells off the board and non-numbers are dropped and keep the turn at the peer.
    ASSERT_TRUE(peer.Send("PUT 0 5\n"));
    ASSERT_TRUE(peer.Send("PUT 16 1\n"));
    ASSERT_TRUE(peer.Send("PUT a b\n"));
    ASSERT_TRUE(peerMove(9, 9));
    ASSERT_TRUE(ownMove(6, 6));

    // Onto an occupied cell: nothing placed, but the turn passes.
    ASSERT_TRUE(peer.Send("PUT 5 5\n"));
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue); }));
    EXPECT_TRUE(RingAt(5, 5));
    ASSERT_TRUE(ownMove(7, 6));

    for (int column = 1; column <= 4; ++column) {
        ASSERT_TRUE(peerMove(column, 14));
        ASSERT_TRUE(ownMove(column, 12));
    }
    ASSERT_TRUE(peer.Send("PUT 5 14\n"));
    ASSERT_TRUE(WaitUntil([] { return AlertShown("Player X won!"); }));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] {
        return Text("x connect") == "X: 1" && ClockIs(kBlue) && EmptyAt(8, 3) && EmptyAt(5, 5) &&
               EmptyAt(5, 14);
    }));
    EXPECT_EQ(Text("status connect"), "Connected as server");

    // O lost and moves first now. Four O in a row, then a peer move out of turn that would make
    // them five. The peer then hangs up: the window shows the link's end only after it has
    // handled that move, which orders the check.
    for (int column = 1; column <= 4; ++column) {
        ASSERT_TRUE(ownMove(column, 12));
        ASSERT_TRUE(peerMove(column, 14));
    }
    ASSERT_TRUE(peer.Send("PUT 5 12\n"));
    peer.Close();
    ASSERT_TRUE(WaitUntil([] {
        return Text("status connect") != "Connected as server" || !inspect::Alerts().empty();
    }));
    EXPECT_TRUE(inspect::Alerts().empty()) << "a move out of turn was applied";
}

TEST_F(GameViewTest, ClientPlaysXOnlyOnItsTurn) {
    window->Link()->linkState = LINK_CLIENT;
    forcedClient = true;
    ASSERT_EQ(BMessenger(window->BoardView()).SendMessage(MSG_NET_GAME_START), B_OK);

    ASSERT_TRUE(ClickCell(2, 2));
    ASSERT_TRUE(WaitUntil([] { return CrossAt(2, 2) && ClockIs(kBlue); }));

    // O's turn: the click is refused. The turn notice posted after it shows it was handled.
    ASSERT_TRUE(ClickCell(3, 3));
    BMessage sentinel(MSG_TURN);
    sentinel.AddInt8(FIELD_PLAYER, static_cast<int8>(PLAYER_X));
    window->PostMessage(&sentinel);
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kRed); }));
    EXPECT_TRUE(EmptyAt(3, 3));

    // The peer's move as the link reports it; then X may play again.
    BMessage put(MSG_NET_PUT);
    put.AddString(FIELD_PAR1, "3");
    put.AddString(FIELD_PAR2, "3");
    ASSERT_EQ(BMessenger(window->BoardView()).SendMessage(&put), B_OK);
    ASSERT_TRUE(WaitUntil([] { return RingAt(3, 3); }));
    ASSERT_TRUE(ClickCell(4, 4));
    ASSERT_TRUE(WaitUntil([] { return CrossAt(4, 4) && ClockIs(kBlue); }));

    window->Link()->linkState = LINK_NOT_CONNECTED;
    forcedClient = false;
}

TEST_F(GameViewTest, APeersMoveStillQueuedLandsInNoLocalGame) {
    // As when the user starts a local game while the peer's move is on its way.
    BMessage put(MSG_NET_PUT);
    put.AddString(FIELD_PAR1, "8");
    put.AddString(FIELD_PAR2, "3\n");
    ASSERT_EQ(BMessenger(window->BoardView()).SendMessage(&put), B_OK);
    BMessage sentinel(MSG_TURN);
    sentinel.AddInt8(FIELD_PLAYER, static_cast<int8>(PLAYER_O));
    window->PostMessage(&sentinel);
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue); }));
    EXPECT_TRUE(EmptyAt(8, 3));
    // X is still to move.
    ASSERT_TRUE(ClickCell(2, 2));
    ASSERT_TRUE(WaitUntil([] { return CrossAt(2, 2); }));
}

}  // namespace
