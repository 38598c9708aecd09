#include "game/GameView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <string>
#include <utility>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "tests/RawPeer.h"
#include "tests/TestSupport.h"

using testing_support::RawPeer;
using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kTitle[] = "Quillet 1.4";
constexpr rgb_color kRed = {255, 0, 0, 255}, kBlue = {0, 0, 255, 255};
constexpr rgb_color kBlack = {0, 0, 0, 255}, kWhite = {255, 255, 255, 255};

// A click at the centre of a cell: the board starts under the 20-pixel menu bar.
bool Click(int column, int row) {
    return inspect::Click(kTitle, BPoint(column * 20 - 10, row * 20 + 10));
}

// A pixel of the board at view point (x, y).
bool PixelIs(int x, int y, rgb_color color) {
    return inspect::Pixel(kTitle, "gamruta", x, y) == color;
}

// mark 'X', 'O' or ' ': the cross's diagonals inside the ring (centre included) are red only
// for an X, the ring's top, left and right blue only for an O.
bool At(int column, int row, char mark) {
    const rgb_color cross = mark == 'X' ? kRed : kWhite, ring = mark == 'O' ? kBlue : kWhite;
    const int x = column * 20 - 20, y = row * 20 - 20;
    constexpr int kPoints[][3] = {{10, 10, 0}, {5, 5, 0},  {14, 14, 0}, {5, 14, 0},
                                  {14, 5, 0},  {10, 2, 1}, {2, 10, 1},  {17, 10, 1}};
    return std::ranges::all_of(
        kPoints, [&](const int* p) { return PixelIs(x + p[0], y + p[1], p[2] ? ring : cross); });
}

inspect::ViewInfo View(const char* name) {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kTitle);
    const inspect::ViewInfo* view = window ? window->View(name) : nullptr;
    return view != nullptr ? *view : inspect::ViewInfo{};
}
bool ClockIs(rgb_color color) {
    return View("time status").color == color;
}

// A click waited for until its mark is drawn and the clock shows the other player's turn.
bool Play(int column, int row, char mark) {
    return Click(column, row) &&
           WaitUntil([=] { return At(column, row, mark) && ClockIs(mark == 'X' ? kBlue : kRed); });
}

// Waits for the one alert, X's win, and presses its OK.
bool XWins() {
    return WaitUntil([] {
               return inspect::Alerts().size() == 1 && inspect::Alerts()[0].text == "Player X won!";
           }) &&
           inspect::PressAlertButton("Quillet", "OK");
}

class GameViewTest : public testing::Test {
protected:
    void SetUp() override {
        window = new MainWindow();  // waited for until shown, its grid drawn
        ASSERT_TRUE(
            WaitUntil([] { return !View("time status").text.empty() && PixelIs(0, 10, kBlack); }));
    }
    void TearDown() override {
        // A client state forced by a test has no link behind it.
        int32 client = LINK_CLIENT;
        window->Link()->linkState.compare_exchange_strong(client, LINK_NOT_CONNECTED);
        // A window thread waiting for an alert would not quit.
        for (const inspect::AlertInfo& alert : inspect::Alerts())
            inspect::PressAlertButton(alert.title, "OK");
        ASSERT_TRUE(inspect::Close(kTitle));
        EXPECT_TRUE(
            WaitUntil([] { return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0; }));
    }
    // A turn notice: handled after what the window got before it, as the clock's colour shows.
    void PostTurn(int player) {
        BMessage turn(MSG_TURN);
        turn.AddInt8(FIELD_PLAYER, static_cast<int8>(player));
        window->PostMessage(&turn);
    }
    // A report of the link, as from a link forced up before any came up (numbered 0), or from
    // another link.
    void Report(BMessage report, int32 link = 0) {
        report.AddInt32(FIELD_LINK, link);
        ASSERT_EQ(BMessenger(window->BoardView()).SendMessage(&report), B_OK);
    }
    // A peer's move as the link reports it.
    void Put(const char* column, const char* row, int32 link = 0) {
        BMessage put(MSG_NET_PUT);
        put.AddString(FIELD_PAR1, column);
        put.AddString(FIELD_PAR2, row);
        Report(put, link);
    }

    MainWindow* window = nullptr;
};

TEST_F(GameViewTest, LocalClicksAlternateAndDrawMarksOnTheGrid) {
    ASSERT_TRUE(Play(3, 4, 'X') && Play(4, 4, 'O'));
    // The grid right beside the marks is untouched; an empty cell is white.
    for (const auto& [x, y] : {std::pair{60, 70}, {50, 60}, {40, 70}})
        EXPECT_TRUE(PixelIs(x, y, kBlack)) << x << ", " << y;

    // An occupied cell takes nothing and keeps the turn: the next click is still X's.
    ASSERT_TRUE(Click(3, 4) && Play(6, 6, 'X'));
    EXPECT_TRUE(At(3, 4, 'X') && At(4, 4, 'O'));

    // The last row lies under the status texts, which let the press through to the board.
    ASSERT_TRUE(inspect::Click(kTitle, BPoint(50, 315)));
    ASSERT_TRUE(WaitUntil([] { return At(3, 15, 'O') && ClockIs(kRed); }));
}

TEST_F(GameViewTest, FiveInARowIsAnnouncedAndTheLoserStartsTheNextGame) {
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(Play(column, 1, 'X') && Play(column, 2, 'O'));
    EXPECT_TRUE(inspect::Alerts().empty());
    // The winning mark, last of the run in the order the board is read, shows behind the alert.
    ASSERT_TRUE(Click(5, 1) && WaitUntil([] { return inspect::Alerts().size() == 1; }));
    for (int column = 1; column <= 5; ++column)
        EXPECT_TRUE(At(column, 1, 'X') && At(column, 2, column < 5 ? 'O' : ' ')) << column;
    ASSERT_TRUE(XWins());
    ASSERT_TRUE(WaitUntil([] {
        return View("x connect").text == "X: 1" && ClockIs(kBlue) && At(1, 1, ' ') &&
               At(5, 1, ' ') && At(4, 2, ' ') && PixelIs(20, 10, kBlack);
    })) << "an empty board, its grid drawn, with O to move";
    ASSERT_TRUE(Play(8, 8, 'O'));
}

TEST_F(GameViewTest, NewestMarkBlinksFiveTimesAndEndsDrawn) {
    // The centre of cell (8, 8), after each piece of drawing the board shows.
    const auto seen = inspect::WatchPixel(kTitle, "gamruta", 150, 150);
    ASSERT_TRUE(Play(8, 8, 'X'));
    // The move, then ten blink ticks: erased and drawn again five times, ending drawn.
    const std::vector<rgb_color> blink = {kRed, kWhite, kRed, kWhite, kRed, kWhite,
                                          kRed, kWhite, kRed, kWhite, kRed};
    ASSERT_TRUE(WaitUntil([&] { return seen->size() >= blink.size(); }));
    // Nothing more is drawn while the move clock ticks twice.
    for (int tick = 0; tick < 2; ++tick) {
        const std::string clock = View("time status").text;
        ASSERT_TRUE(WaitUntil([&] { return View("time status").text != clock; }));
    }
    EXPECT_EQ(*seen, blink);
    EXPECT_TRUE(At(8, 8, 'X'));
}

// A peer's move that waited behind an alert while the blink of the move before still ran: the
// old blink's ticks, which fell due behind the move, blink nothing more, and the new mark blinks
// five times and ends drawn.
TEST_F(GameViewTest, AMoveThatWaitedBehindAnAlertBlinksFiveTimesAndEndsDrawn) {
    window->Link()->linkState = LINK_CLIENT;
    Report(BMessage(MSG_NET_GAME_START));
    // The top of the ring in cell (3, 3), after each piece of drawing the board shows.
    const auto seen = inspect::WatchPixel(kTitle, "gamruta", 50, 42);
    ASSERT_TRUE(Play(2, 2, 'X'));  // its blink goes on for a second
    const bigtime_t played = system_time();
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "About..."));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().size() == 1; }));
    Put("3", "3");
    ASSERT_TRUE(WaitUntil([&] { return system_time() >= played + 1200000; }))
        << "every tick of the X's blink due behind the alert";
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    // X to move two seconds after the peer's move: its blink (a second) is over.
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kRed) && View("time status").text == "00:02"; }));
    // From the O's first drawing on (the cell is blank before).
    const std::vector<rgb_color> ring(
        std::ranges::find_if(*seen, [](rgb_color color) { return color != kWhite; }), seen->end());
    const std::vector<rgb_color> blink = {kBlue, kWhite, kBlue, kWhite, kBlue, kWhite,
                                          kBlue, kWhite, kBlue, kWhite, kBlue};
    EXPECT_EQ(ring, blink);
    EXPECT_TRUE(At(3, 3, 'O') && At(2, 2, 'X'));
}

TEST_F(GameViewTest, RedrawingAFiveAnnouncesNothing) {
    ASSERT_TRUE(window->Lock());
    for (int column = 3; column <= 7; ++column)
        EXPECT_EQ(window->BoardView()->UpdateGame(column, 5, PLAYER_X), 1);
    window->BoardView()->Invalidate();
    PostTurn(PLAYER_O);  // the clock turning blue says the redraw is done
    window->Unlock();
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue) || !inspect::Alerts().empty(); }));
    EXPECT_TRUE(inspect::Alerts().empty());
    EXPECT_TRUE(WaitUntil([] {
        return std::ranges::all_of(std::views::iota(3, 8), [](int c) { return At(c, 5, 'X'); });
    }));
}

TEST_F(GameViewTest, RawPeerAndServerTakeTurns) {
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.Line() == "CON");
    ASSERT_TRUE(WaitUntil([] { return View("status connect").text == "Connected as server"; }));
    auto line = [](int c, int r) { return "PUT " + std::to_string(c) + " " + std::to_string(r); };
    // Each move is ordered by waiting until it is drawn and the clock has turned.
    auto peerMove = [&](int column, int row) {
        return peer.Send(line(column, row) + "\n") &&
               WaitUntil([&] { return At(column, row, 'X') && ClockIs(kBlue); });
    };
    auto ownMove = [&](int column, int row) {
        return Play(column, row, 'O') && peer.Line() == line(column, row);
    };

    // X moves first: a click here now draws and sends nothing.
    ASSERT_TRUE(Click(1, 1) && peerMove(8, 3));
    EXPECT_TRUE(At(1, 1, ' '));
    ASSERT_TRUE(ownMove(5, 5));  // the first line the peer gets after the greeting
    // Cells off the board and non-numbers are dropped and keep the turn at the peer.
    ASSERT_TRUE(peer.Send("PUT 0 5\nPUT 16 1\nPUT 5 0\nPUT 1 16\nPUT a b\n") && peerMove(9, 9) &&
                ownMove(6, 6));
    // Onto an occupied cell: nothing placed, but the turn passes.
    ASSERT_TRUE(peer.Send("PUT 5 5\n") && WaitUntil([] { return ClockIs(kBlue); }));
    EXPECT_TRUE(At(5, 5, 'O'));
    ASSERT_TRUE(ownMove(7, 6));
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(peerMove(column, 14) && ownMove(column, 12));
    ASSERT_TRUE(peer.Send("PUT 5 14\n") && XWins());
    ASSERT_TRUE(WaitUntil([] {
        return View("x connect").text == "X: 1" && ClockIs(kBlue) && At(8, 3, ' ') &&
               At(5, 14, ' ');
    }));
    EXPECT_EQ(View("status connect").text, "Connected as server");

    // O lost and moves first now. Four O in a row, then a peer move out of turn that would make
    // them five. The peer then hangs up: the window shows the link's end only after it has
    // handled that move, which orders the check.
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(ownMove(column, 12) && peerMove(column, 14));
    ASSERT_TRUE(peer.Send("PUT 5 12\n"));
    peer.Close();
    ASSERT_TRUE(WaitUntil([] {
        return View("status connect").text != "Connected as server" || !inspect::Alerts().empty();
    }));
    EXPECT_TRUE(inspect::Alerts().empty()) << "a move out of turn was applied";
    // The next peer finds this side listening again, and is greeted.
    RawPeer next;
    ASSERT_TRUE(next.Connect());
    EXPECT_EQ(next.Line(), "CON");
}

TEST_F(GameViewTest, ClientPlaysXOnlyOnItsTurn) {
    window->Link()->linkState = LINK_CLIENT;
    Report(BMessage(MSG_NET_GAME_START));
    // X's turn: a move of the peer's is dropped, and the turn stays.
    Put("5", "5");
    ASSERT_TRUE(Play(2, 2, 'X'));
    EXPECT_TRUE(At(5, 5, ' '));
    // O's turn: the click is refused.
    ASSERT_TRUE(Click(3, 3));
    PostTurn(PLAYER_X);
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kRed); }));
    EXPECT_TRUE(At(3, 3, ' '));
    // A move of a link that ended before it was handled is dropped; then the peer's move, and X
    // may play again.
    Put("6", "6", 1);
    Put("3", "3");
    ASSERT_TRUE(WaitUntil([] { return At(3, 3, 'O'); }));
    EXPECT_TRUE(At(6, 6, ' '));
    ASSERT_TRUE(Play(4, 4, 'X'));
}

TEST_F(GameViewTest, APeersMoveStillQueuedLandsInNoLocalGame) {
    // As when the user starts a local game while the peer's move is on its way.
    Put("8", "3\n");
    PostTurn(PLAYER_O);
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue); }));
    EXPECT_TRUE(At(8, 3, ' '));
    ASSERT_TRUE(Play(2, 2, 'X')) << "X is still to move";
}

}  // namespace
