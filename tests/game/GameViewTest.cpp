#include "game/GameView.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <ranges>
#include <string>

#include "app/MainWindow.h"
#include "game/ComputerPlayer.h"
#include "game/EnginePlayer.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"
#include "tests/TestSupport.h"

namespace inspect = kit::qt::inspect;
using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// The window's title now: it names the engine while one plays.
std::string windowTitle = kMainTitle;

// A click low in a cell (the last row's just above the status row), under the 20-pixel menu bar.
bool Click(int column, int row) {
    return inspect::Click(windowTitle, BPoint(column * 20 - 10, row * 20 + 15));
}

bool PixelIs(int x, int y, rgb_color color) {
    return inspect::Pixel(windowTitle, "gamruta", x, y) == color;
}

// The board's marks, row by row ('X', 'O' or ' ' a cell), read from one image of it.
std::string Marks() {
    const std::vector<rgb_color> pixels = inspect::Pixels(windowTitle, "gamruta");
    constexpr int kWidth = Board::kSize * 20 + 1;
    std::string marks;
    for (int cell = 0; cell < 225 && pixels.size() >= size_t{kWidth} * kWidth; ++cell) {
        const size_t corner = size_t(cell / 15 * 20) * kWidth + cell % 15 * 20;
        marks += pixels[corner + 10 * kWidth + 10] == kRed   ? 'X'
                 : pixels[corner + 2 * kWidth + 10] == kBlue ? 'O'
                                                             : ' ';
    }
    return marks;
}
bool At(int column, int row, char mark) {
    const std::string marks = Marks();
    return marks.size() == 225 && marks[(row - 1) * 15 + column - 1] == mark;
}
long Count(char mark) {
    return std::ranges::count(Marks(), mark);
}

inspect::ViewInfo View(const char* name) {
    return ViewOf(windowTitle, name);
}
bool ClockIs(rgb_color color) {
    return View("time status").color == color;
}

// A click waited for until its mark is drawn and the clock shows the other player's turn.
bool Play(int column, int row, char mark) {
    return Click(column, row) &&
           WaitUntil([=] { return At(column, row, mark) && ClockIs(mark == 'X' ? kBlue : kRed); });
}

// A line in color through the centres of the five cells from (column, row) to the right.
bool FiveMarked(int column, int row, rgb_color color) {
    return std::ranges::all_of(std::views::iota(5, 96), [=](int along) {
        return PixelIs(column * 20 - 20 + along, row * 20 - 10, color);
    });
}
// The keyboard's cursor frames the cell: the frame's left edge, beside the grid line, is green.
bool CursorAt(int column, int row) {
    return PixelIs(column * 20 - 19, row * 20 - 10, {0, 150, 0, 255});
}
bool Keys(std::initializer_list<char> keys) {
    // A key waits while a closing alert still blocks the window.
    return std::ranges::all_of(keys, [](char key) {
        return WaitUntil([=] { return inspect::PressKey(windowTitle, key); });
    });
}

// Waits for the one alert to show text, and presses its OK unless asked not to.
bool Alerted(const std::string& text, bool pressOK = true) {
    return WaitUntil([&] {
               const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
               return alerts.size() == 1 && alerts[0].text == text;
           }) &&
           (!pressOK || inspect::PressAlertButton("Quillet", "OK"));
}

class GameViewTest : public testing::Test {
protected:
    void SetUp() override {
        window = new MainWindow();  // waited for until shown, its grid drawn
        ASSERT_TRUE(
            WaitUntil([] { return !View("time status").text.empty() && PixelIs(0, 10, kBlack); }));
    }
    void TearDown() override {
        // A window thread waiting for an alert would not quit.
        for (const inspect::AlertInfo& alert : inspect::Alerts())
            inspect::PressAlertButton(alert.title, "OK");
        if (window != nullptr) {
            window->Link()->linkState = LINK_NOT_CONNECTED;  // a forced state has no link behind it
            ASSERT_TRUE(inspect::Close(windowTitle));
        }
        EXPECT_TRUE(WaitUntil(
            [] { return !inspect::FindWindow(windowTitle) && be_app->CountWindows() == 0; }));
        windowTitle = kMainTitle;
    }
    // A report of a link: of one forced up before any came up (numbered 0), or of another.
    void Report(BMessage report, int32 link = 0) {
        report.AddInt32(FIELD_LINK, link);
        ASSERT_EQ(BMessenger(window->BoardView()).SendMessage(&report), B_OK);
    }
    void Put(const char* column, const char* row, int32 link = 0) {
        BMessage put(MSG_NET_PUT);
        put.AddString(FIELD_PAR1, column);
        put.AddString(FIELD_PAR2, row);
        Report(put, link);
    }

    // Runs change on the board under its window's lock, between two messages.
    template <typename Change>
    void Locked(Change change) {
        ASSERT_TRUE(window->Lock());
        change(*window->BoardView());
        window->Unlock();
    }
    // Waits until the window has handled what was posted before: a watch of the clock sees the
    // sentinel turns X, O, X show blue then red, whatever the board posts between them.
    void Sync() {
        const auto seen = inspect::WatchLabel(windowTitle, "time status");
        for (int8 player : {PLAYER_X, PLAYER_O, PLAYER_X}) {
            BMessage turn(MSG_TURN);
            turn.AddInt8(FIELD_PLAYER, player);
            window->PostMessage(&turn);
        }
        auto after = [&](auto from, rgb_color color) {
            return std::find_if(from, seen->end(),
                                [=](auto& state) { return state.color == color; });
        };
        ASSERT_TRUE(
            WaitUntil([&] { return after(after(seen->begin(), kBlue), kRed) != seen->end(); }));
        ASSERT_TRUE(WaitUntil([] { return ClockIs(kRed); }));
    }
    // The marks on the board, whatever the blink shows now.
    int Stones() {
        int count = 0;
        Locked([&](GameView& board) {
            for (int cell = 0; cell < 225; ++cell)
                count += board.Cells().PlayerAt(cell % 15 + 1, cell / 15 + 1) != 0;
        });
        return count;
    }
    // The computer's answer is on its way to the board, or no search was asked.
    bool ComputerIdle() const { return !window->BoardView()->Computer()->Busy(); }

    MainWindow* window = nullptr;
};

// A full board without five at one mouse is a draw, and O, who did not make the last move, opens
// the next game.
TEST_F(GameViewTest, AFullBoardIsADrawAndTheOtherPlayerOpensNext) {
    // Pairs of columns alternate, every row flips them: no run is longer than two. X moves last.
    Locked([](GameView& board) {
        for (int cell = 0; cell + 1 < 225; ++cell)
            board.UpdateGame(cell / 15 + 1, cell % 15 + 1,
                             (cell / 30 + cell % 15) % 2 ? PLAYER_X : PLAYER_O);
    });
    ASSERT_TRUE(Click(15, 15) && Alerted("Draw!"));
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue) && Count(' ') == 225; }));
    ASSERT_TRUE(Play(8, 8, 'O'));
    // A five drawn again is not announced again.
    Locked([](GameView& board) {
        for (int column = 3; column <= 7; ++column)
            board.UpdateGame(column, 5, PLAYER_X);
        board.Invalidate();
    });
    Sync();
    EXPECT_TRUE(inspect::Alerts().empty());
    EXPECT_TRUE(WaitUntil([] { return Count('X') == 5; }));  // the newest may blink
}

// The cursor, Space and Enter play a game to X's five: the winning mark and a line through the
// five show behind the alert, X scores, and O, who lost, opens the next game.
TEST_F(GameViewTest, AWholeGameIsPlayedWithTheKeys) {
    ASSERT_TRUE(WaitUntil([] { return View("gamruta").focused; })) << "the board has the focus";
    // The cursor shows with the first key; it starts at the centre and stops at the edges.
    ASSERT_TRUE(Keys({B_HOME, B_PAGE_UP, B_LEFT_ARROW, B_UP_ARROW}));
    ASSERT_TRUE(WaitUntil([] { return CursorAt(1, 1); }));
    EXPECT_FALSE(CursorAt(8, 8) || CursorAt(1, 2) || CursorAt(2, 1));
    for (int column = 1; column <= 4; ++column) {
        ASSERT_TRUE(Keys({B_SPACE}) &&
                    WaitUntil([=] { return At(column, 1, 'X') && ClockIs(kBlue); }));
        ASSERT_TRUE(Keys({B_DOWN_ARROW, B_ENTER}) &&
                    WaitUntil([=] { return At(column, 2, 'O') && ClockIs(kRed); }));
        ASSERT_TRUE(Keys({B_UP_ARROW, B_RIGHT_ARROW}));
    }
    // An occupied cell takes nothing; End and Page Down reach the far corner.
    ASSERT_TRUE(Keys({B_LEFT_ARROW, B_SPACE, B_END, B_PAGE_DOWN}));
    ASSERT_TRUE(WaitUntil([] { return CursorAt(15, 15) && !CursorAt(4, 1); }));
    EXPECT_TRUE(At(4, 1, 'X') && ClockIs(kRed) && At(15, 15, ' '));
    ASSERT_TRUE(Keys(
        {B_HOME, B_PAGE_UP, B_RIGHT_ARROW, B_RIGHT_ARROW, B_RIGHT_ARROW, B_RIGHT_ARROW, B_SPACE}));
    ASSERT_TRUE(Alerted("Player X won!", false));
    // The winning X's diagonals, and O's ring on (4, 2) inside the grid.
    EXPECT_TRUE(PixelIs(85, 5, kRed) && PixelIs(94, 14, kRed) && PixelIs(94, 5, kRed) &&
                PixelIs(85, 14, kRed) && FiveMarked(1, 1, kRed));
    EXPECT_TRUE(PixelIs(70, 22, kBlue) && PixelIs(62, 30, kBlue) && PixelIs(77, 30, kBlue) &&
                PixelIs(70, 30, kWhite) && PixelIs(60, 30, kBlack) && PixelIs(80, 30, kBlack));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK") && inspect::Activate(windowTitle));
    // An empty board, its grid drawn, and the cursor at the centre once the board has the focus.
    ASSERT_TRUE(WaitUntil([] {
        return View("x connect").text == "X: 1" && ClockIs(kBlue) && CursorAt(8, 8) &&
               Count(' ') == 225 && PixelIs(20, 10, kBlack);
    }));
    ASSERT_TRUE(Keys({B_ENTER}) && WaitUntil([] { return At(8, 8, 'O') && ClockIs(kRed); }));
}

// The newest mark is erased and drawn again five times, ending drawn, and nothing more is drawn
// while the move clock ticks; so is a peer's move that waited behind an alert while the blink of
// the move before still ran, whose ticks, due behind the move, blink nothing more.
TEST_F(GameViewTest, NewestMarkBlinksFiveTimesAndEndsDrawn) {
    window->Link()->linkState = LINK_CLIENT;
    Report(BMessage(MSG_NET_GAME_START));
    // The centre of cell (2, 2) and the top of the ring in cell (3, 3), after each piece of
    // drawing the board shows, from the mark's first drawing on.
    const auto cross = inspect::WatchPixel(windowTitle, "gamruta", 30, 30);
    const auto ring = inspect::WatchPixel(windowTitle, "gamruta", 50, 42);
    const auto drawn = [](const auto& seen) {
        return std::vector<rgb_color>(
            std::ranges::find_if(*seen, [](rgb_color color) { return color != kWhite; }),
            seen->end());
    };
    // Moves the clock on a blink tick at a time until shown() counts count drawings.
    const auto blinkUntil = [](auto shown, size_t count) {
        while (shown().size() < count) {
            const size_t before = shown().size();
            inspect::AdvanceClock(100000);
            ASSERT_TRUE(WaitUntil([&] { return shown().size() > before; })) << before;
        }
    };
    ASSERT_TRUE(Play(2, 2, 'X'));
    blinkUntil([&] { return drawn(cross); }, 5);  // the board's redraw after the start may come too
    const std::vector<rgb_color> crossed = drawn(cross);
    EXPECT_FALSE(std::ranges::search(crossed, std::vector{kRed, kWhite, kRed}).empty());
    ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "About..."));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().size() == 1; }));
    Put("3", "3");
    inspect::AdvanceClock(1200000);  // every tick left of the X's blink falls due behind the alert
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    blinkUntil([&] { return drawn(ring); }, 11);
    for (int tick = 0; tick < 2; ++tick) {  // nothing more is drawn while the move clock ticks
        const std::string clock = View("time status").text;
        inspect::AdvanceClock(1000000);
        ASSERT_TRUE(WaitUntil([&] { return View("time status").text != clock; }));
    }
    EXPECT_EQ(drawn(ring), (std::vector<rgb_color>{kBlue, kWhite, kBlue, kWhite, kBlue, kWhite,
                                                   kBlue, kWhite, kBlue, kWhite, kBlue}));
    EXPECT_TRUE(At(3, 3, 'O') && At(2, 2, 'X'));
}

// The link forced up, the peer's moves posted as it reports them: each side plays its own mark on
// its turn only. A peer's move passes the turn, onto a taken cell too; one from before the game,
// out of turn, off the board or of an ended link is dropped and keeps it.
TEST_F(GameViewTest, EachSidePlaysItsOwnMarkOnItsTurnOnly) {
    window->Link()->linkState = LINK_SERVER;
    Put("8", "3");  // from a link still up when a local game began: it lands in none
    ASSERT_TRUE(Play(1, 1, 'X'));
    for (const int32 state : {LINK_CLIENT, LINK_SERVER}) {
        SCOPED_TRACE(state);
        window->Link()->linkState = state;
        Report(BMessage(MSG_NET_GAME_START));
        for (const char mover : {'X', 'O'}) {
            if (mover == (state == LINK_CLIENT ? 'X' : 'O')) {
                Put("5", "5");
                ASSERT_TRUE(Play(2, 2, mover));
                EXPECT_TRUE(At(5, 5, ' '));
                continue;
            }
            // The peer's turn: a click and a key (the cursor is at the centre) are refused.
            ASSERT_TRUE(Click(3, 3) && Keys({B_SPACE}));
            for (const auto& [column, row] :
                 {std::pair{"0", "5"}, {"16", "1"}, {"5", "0"}, {"1", "16"}, {"a", "b"}})
                Put(column, row);
            Put("6", "6", 1);
            Put("3", "3");
            ASSERT_TRUE(
                WaitUntil([&] { return At(3, 3, mover) && ClockIs(mover == 'X' ? kBlue : kRed); }));
            EXPECT_TRUE(At(8, 8, ' ') && At(6, 6, ' '));
        }
    }
    Put("2", "2");
    ASSERT_TRUE(WaitUntil([] { return ClockIs(kBlue); }));
    EXPECT_TRUE(At(2, 2, 'O'));
    ASSERT_TRUE(Keys({B_ENTER}) && WaitUntil([] { return At(8, 8, 'O') && ClockIs(kRed); }));
}

// The computer's five wins; the loser opens the next game, the computer at once. While it thinks
// the board is not the user's; whatever ends that game (a new game, a peer connecting) leaves no
// move of the computer's on the next board, and a new level asks again at that level.
TEST_F(GameViewTest, AGameAgainstTheComputer) {
    ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "New game against the computer"));
    Sync();
    // O's four on row 3 with one open end; X plays elsewhere, and the computer makes five, its
    // ring on (5, 3) and a line in O's colour through the five.
    Locked([](GameView& board) {
        for (int column = 1; column <= 4; ++column)
            board.UpdateGame(column, 3, PLAYER_O);
    });
    ASSERT_TRUE(Click(14, 14) && Alerted("Player O won!", false));
    EXPECT_TRUE(PixelIs(90, 42, kBlue) && FiveMarked(1, 3, kBlue));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] { return View("o connect").text == "O: 1" && Count(' ') == 225; }));
    // X lost and opens: the computer waits for the user.
    Sync();
    EXPECT_TRUE(ComputerIdle() && Stones() == 0);
    // Now X wins, and the computer opens the next game at once.
    Locked([](GameView& board) {
        for (int column = 1; column <= 4; ++column)
            board.UpdateGame(column, 1, PLAYER_X);
    });
    ASSERT_TRUE(Click(5, 1) && Alerted("Player X won!"));
    ASSERT_TRUE(WaitUntil([] {
        return View("x connect").text == "X: 1" && Count('O') == 1 && Count('X') == 0 &&
               ClockIs(kRed);
    }));

    // From now on Hard thinks until it is stopped: it looks deeper than an hour's search goes.
    Locked([](GameView& board) { board.SetComputerLimits({.time = 1h}); });
    auto think = [this] {
        ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "Hard") &&
                    inspect::TriggerMenuItem(windowTitle, "New game against the computer"));
        Sync();
        ASSERT_TRUE(Play(8, 8, 'X'));
        // Under way, not only asked: its answer will come.
        ASSERT_TRUE(WaitUntil([this] { return window->BoardView()->Computer()->Searching(); }));
        ASSERT_TRUE(Click(9, 9) && Click(8, 9));
        Sync();
        EXPECT_EQ(Stones(), 1) << "a click was taken while it thinks";
        EXPECT_FALSE(ComputerIdle());
    };
    for (const char* item : {"New local game", "New game against the computer"}) {
        SCOPED_TRACE(item);
        think();
        ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, item));
        // The stopped search's answer reaches the board before what is posted after this.
        ASSERT_TRUE(WaitUntil([this] { return ComputerIdle(); }));
        Sync();
        EXPECT_EQ(Stones(), 0);
        ASSERT_TRUE(Play(3, 3, 'X'));
    }
    EXPECT_FALSE(ComputerIdle()) << "the computer thinks again";
    // A peer connects: the network game starts on an empty board, and the peer hears of no move.
    think();
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.Line() == "CON");
    ASSERT_TRUE(WaitUntil([this] { return ComputerIdle(); }));
    Sync();
    EXPECT_EQ(Stones(), 0);
    ASSERT_TRUE(peer.Send("PUT 2 2\n") && WaitUntil([] { return At(2, 2, 'X'); }));
    // Back to the computer: a new level stops the search, and the computer answers at Easy.
    think();
    EXPECT_EQ(peer.Line(), "DIS");
    ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "Easy"));
    ASSERT_TRUE(WaitUntil([] { return Count('O') == 1 && ClockIs(kRed); }));
    ASSERT_TRUE(WaitUntil([this] { return ComputerIdle(); }));
    Sync();
    EXPECT_EQ(Stones(), 2);
}

// Games against tests/game/fake-engine.py in one of its modes behind a script named pbrain-<mode>
// (alerts name it so), and against quillet --engine.
class EngineGameTest : public GameViewTest {
protected:
    void SetUp() override {
        GameViewTest::SetUp();
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
    }
    void TearDown() override {
        GameViewTest::TearDown();
        EXPECT_TRUE(NoEngineLeft());
        std::filesystem::remove_all(folder);
    }
    std::string Script(const std::string& name, const std::string& text) {
        const std::string path = folder + "/" + name;
        std::ofstream(path) << text << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string Fake(const std::string& mode) {
        return Script("pbrain-" + mode, "#!/bin/sh\nexec python3 " FAKE_ENGINE " " + mode);
    }
    // A game against the engine at path as the file chooser starts it, waited for until named.
    void Start(const std::string& path, const std::string& name = "") {
        BMessage chosen(MSG_NEW_ENGINE_GAME);
        chosen.AddString(FIELD_PATH, path);
        window->PostMessage(&chosen);
        if (name.empty())
            return;
        const std::string title = std::string(kMainTitle) + " - vs " + name;
        ASSERT_TRUE(WaitUntil([&] { return inspect::FindWindow(title).has_value(); }));
        windowTitle = title;
    }
    // No engine thread, nor any child of the test program, not even one waiting to be reaped.
    static bool NoEngineLeft() {
        return WaitUntil([] {
            siginfo_t info{};
            return EnginePlayer::Running() == 0 &&
                   waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
        });
    }

    std::string folder = "/tmp/quillet-engines-XXXXXX";
};

// quillet --engine from the menu, named by its ABOUT, in another's place makes its five; the loser
// opens the next game, told the engine as a new position; a new local game ends it. Each fault: its
// alert, the engine ended and reaped, the board left to the user at one mouse. Quitting does not
// wait for an engine that ignores SIGTERM (it is killed a second later; TearDown waits for that).
TEST_F(EngineGameTest, EnginesPlayAndEachFaultEndsTheEngineWithItsAlertLeavingTheBoard) {
    const std::string path =
        Script("pbrain-quillet", "#!/bin/sh\nexec " QUILLET_PROGRAM " --engine");
    Start(Fake("good"), "Fakey");  // ended by the game against the next engine
    // The real grace: a loaded machine must not make the engine late.
    Locked([](GameView& board) { board.SetEngineSettings({.turn = 200ms, .grace = 1000ms}); });
    ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "New game against an engine..."));
    ASSERT_TRUE(WaitUntil([&] { return inspect::ChooseFile(path); }));
    windowTitle = std::string(kMainTitle) + " - vs Quillet";
    ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow(windowTitle).has_value(); }));
    Locked([](GameView& board) {
        for (int column = 1; column <= 4; ++column)
            board.UpdateGame(column, 3, PLAYER_O);
    });
    ASSERT_TRUE(Click(8, 8) && Alerted("Player O won!"));
    ASSERT_TRUE(WaitUntil([] { return View("o connect").text == "O: 1" && Count(' ') == 225; }));
    ASSERT_TRUE(Click(8, 8));
    ASSERT_TRUE(WaitUntil([] { return Count('O') == 1 && At(8, 8, 'X') && ClockIs(kRed); }));
    ASSERT_TRUE(inspect::TriggerMenuItem(windowTitle, "New local game"));
    windowTitle = kMainTitle;
    ASSERT_TRUE(WaitUntil([] {
        return inspect::FindWindow(windowTitle) &&
               View("status connect").text == "Listen for connections..." && Count(' ') == 225;
    }));
    ASSERT_TRUE(NoEngineLeft());

    Locked([](GameView& board) { board.SetEngineSettings({.turn = 200ms, .grace = 300ms}); });
    struct Case {
        std::string path;
        const char* fault;
        bool asked;  // the fault answers the user's first move
    } const cases[] = {
        {Script("pbrain-lost", "#!/nonexistent/interpreter"),
         "could not be started: No such file or directory", false},
        {Fake("silent"), "did not answer with a move within 500 ms", true},
        {Fake("crash"), "crashed (signal 11)", true},
        {Fake("exit"), "ended (exit status 3)", true},
        {Fake("flood"), "flooded its output without answering", true},
    };
    for (const Case& c : cases) {
        const std::string name = c.path.substr(c.path.rfind('/') + 1);
        SCOPED_TRACE(name);
        Start(c.path, c.asked ? name : "");
        ASSERT_TRUE(!c.asked || Click(8, 8));
        ASSERT_TRUE(Alerted("The engine " + name + " " + c.fault + "."));
        windowTitle = kMainTitle;
        ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow(windowTitle).has_value(); }));
        EXPECT_TRUE(WaitUntil([&] { return At(8, 8, c.asked ? 'X' : ' ') && Count('O') == 0; }));
        ASSERT_TRUE(NoEngineLeft());
        // Whose turn it was: a click places the mark of the player to move.
        ASSERT_TRUE(Click(1, 1));
        ASSERT_TRUE(WaitUntil([&] { return At(1, 1, c.asked ? 'O' : 'X'); }));
    }
    Start(Fake("stubborn"), "pbrain-stubborn");
    ASSERT_TRUE(Click(8, 8));
    ASSERT_TRUE(WaitUntil([] { return View("status connect").text == "thinking"; }));
    ASSERT_TRUE(inspect::Close(windowTitle));
    window = nullptr;
    ASSERT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    EXPECT_EQ(EnginePlayer::Running(), 1);
}

}  // namespace

// The window grows: the board stays square and centred between the menu bar and the status row,
// its cells as wide as whole pixels allow, and is drawn at the device's resolution; the status
// row follows the window's bottom right corner. Run at QT_SCALE_FACTOR=2 as well.
TEST_F(GameViewTest, TheBoardFollowsTheWindowSquareCentredAtTheDevicesResolution) {
    const inspect::WindowInfo start = inspect::FindWindow(windowTitle).value();
    EXPECT_TRUE(start.frame.left >= start.screen.left && start.frame.top >= start.screen.top &&
                start.frame.right <= start.screen.right)
        << "opens on its screen";
    ASSERT_TRUE(inspect::Resize(windowTitle, 501, 441));
    // 501 x 401 pixels for the board: cells of 26, the board's corner at (55, 5).
    const double scale = start.scale;
    auto pixelIs = [&](double x, double y, rgb_color color) {
        return inspect::Pixel(windowTitle, "gamruta", int(x * scale), int(y * scale)) == color;
    };
    ASSERT_TRUE(WaitUntil([&] {
        const auto image = inspect::CanvasImage(windowTitle, "gamruta");
        return image && image->scale == scale && image->width == int(501 * scale) &&
               image->height == int(401 * scale) && pixelIs(55, 100, kBlack) &&
               pixelIs(445, 100, kBlack);
    })) << "redrawn at its new size, a device pixel for each pixel of the screen";
    EXPECT_EQ(View("o connect").frame, BRect(460, 421, 495, 440));

    const double x0 = 55 + 7 * 26, y0 = 5 + 7 * 26;
    ASSERT_TRUE(inspect::Click(windowTitle, BPoint(x0 + 13, 20 + y0 + 13)));
    ASSERT_TRUE(WaitUntil([&] { return pixelIs(x0 + 13, y0 + 13, kRed); })) << "X on (8, 8)";
    EXPECT_TRUE(WaitUntil([&] {
        return inspect::ScreenPixel(windowTitle, int((x0 + 13) * scale),
                                    int((20 + y0 + 13) * scale)) == kRed;
    })) << "and on screen";
    EXPECT_TRUE(pixelIs(x0 + 4, y0 + 4, kRed) && pixelIs(x0 + 22, y0 + 22, kRed));
    EXPECT_TRUE(pixelIs(x0 + 13, y0 + 4, kWhite) && pixelIs(x0 + 4, y0 + 13, kWhite));
    EXPECT_TRUE(pixelIs(x0, y0 + 13, kBlack) && pixelIs(x0 + 13, y0 + 26, kBlack));
    EXPECT_TRUE(pixelIs(50, 100, kWhite) && pixelIs(450, 100, kWhite)) << "beside the board";
}
