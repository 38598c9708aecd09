#include "app/MainWindow.h"
#include "dialogs/MsgWindow.h"
#include "game/ComputerPlayer.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"
#include "tests/Sockets.h"
#include "tests/TestSupport.h"

using testing_support::MenuItem;
using testing_support::RawPeer;
using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

using testing_support::kBlue;
using testing_support::kRed;
constexpr const char* kTitle = testing_support::kMainTitle;

bool MainWindowGone() {
    return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0;
}

inspect::ViewInfo View(const char* name) {
    return testing_support::ViewOf(kTitle, name);
}

std::string Status() {
    return View("status connect").text;
}

// The views narrower or lower than their style and font ask for, and the menus hidden behind
// the bar's overflow button, in the main window and the dialogs: "window: view" a line each.
std::string Misfits() {
    std::string misfits;
    for (const char* title : {kTitle, "New game", "Message"}) {
        const inspect::WindowInfo window =
            inspect::FindWindow(title).value_or(inspect::WindowInfo{});
        for (const inspect::ViewInfo& view : window.views) {
            if (view.frame.IntegerWidth() + 1 < view.hintWidth ||
                view.frame.IntegerHeight() + 1 < view.hintHeight)
                misfits += std::string(title) + ": " + view.name + "\n";
        }
        for (const inspect::MenuInfo& menu : window.menus) {
            if (!menu.shown)
                misfits += std::string(title) + ": menu " + menu.title + "\n";
        }
    }
    return misfits;
}

}  // namespace

// Each test starts with a main window shown and ends by closing it.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitUntil([] { return Clock().kind == "label"; }));  // the last view made
    }
    void TearDown() override {
        inspect::Close(kTitle);
        EXPECT_TRUE(WaitUntil(MainWindowGone));
    }

    static inspect::ViewInfo Clock() { return View("time status"); }
    // "Disconnect" and "Send message" can be chosen while a link is up, and not while it is not.
    static bool Linked(bool on) {
        return MenuItem(kTitle, "Disconnect").enabled == on &&
               MenuItem(kTitle, "Send message").enabled == on;
    }
    void Turn(int8 player) {
        BMessage turn(MSG_TURN);
        turn.AddInt8(FIELD_PLAYER, player);
        messenger.SendMessage(&turn);
    }

    MainWindow* const window = new MainWindow();
    const BMessenger messenger{window};
};

// In each look a desktop may give, changed while the program runs, every text, button and menu has
// its room, the menu bar leaves the board uncovered, the status texts take the palette's text
// colour and the clock stays red. The default look keeps the main window's size and place.
TEST(MainWindowLookTest, EachLookGivesEveryTextItsRoom) {
    ASSERT_TRUE(inspect::SetLook("Fusion", 9, false));
    auto* main = new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return View("time status").kind == "label"; }));
    EXPECT_EQ(inspect::FindWindow(kTitle)->frame, BRect(200, 200, 500, 540)) << "301 x 341";
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "Connect..."));
    new MsgWindow(main->Link(), true, nullptr);
    ASSERT_TRUE(WaitUntil(
        [] { return inspect::FindWindow("New game") && inspect::FindWindow("Message"); }));
    for (const auto& [style, points, dark] :
         {std::tuple{"Fusion", 9, false}, {"Windows", 13, false}, {"Fusion", 13, true}}) {
        SCOPED_TRACE(std::string(style) + " " + std::to_string(points));
        ASSERT_TRUE(inspect::SetLook(style, points, dark));
        // Qt lays the windows out again for the new look as it handles events.
        EXPECT_TRUE(WaitUntil([] { return Misfits().empty(); })) << Misfits();
        const rgb_color status = View("status connect").color, clock = View("time status").color;
        EXPECT_EQ(status.green > 128, dark) << "the text colour of the palette";
        EXPECT_TRUE(clock.red == 255 && clock.green < 200 && clock.green == clock.blue);
        EXPECT_LT(View("Menyn").frame.bottom, View("gamruta").frame.top);
    }
    ASSERT_TRUE(inspect::Close(kTitle) && WaitUntil(MainWindowGone));
}

TEST_F(MainWindowTest, TheComputerLevelIsOneOfThreeAndTheBoardPlaysAtIt) {
    for (const auto& [item, level] : {std::pair{"Hard", engine::Level::Hard},
                                      {"Easy", engine::Level::Easy},
                                      {"Medium", engine::Level::Medium}}) {
        SCOPED_TRACE(item);
        ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, item));
        EXPECT_TRUE(WaitUntil([&, level = level, item = std::string(item)] {
            const bool locked = window->Lock();
            const bool at = locked && window->BoardView()->ComputerLevel() == level;
            if (locked)
                window->Unlock();
            return at && std::ranges::all_of(std::array{"Easy", "Medium", "Hard"}, [&](auto other) {
                       return MenuItem(kTitle, other).marked == (other == item);
                   });
        }));
    }
}

TEST_F(MainWindowTest, TheClockRestartsAtEveryTurnInTheMoversColourAndTicks) {
    // Every state the clock shows from here on, however briefly; shows() finds one after the last.
    const auto seen = inspect::WatchLabel(kTitle, "time status");
    size_t next = 0;
    auto shows = [&](const std::string& text, rgb_color color) {
        return WaitUntil([&] {
            while (next < seen->size()) {
                const inspect::LabelState& state = (*seen)[next++];
                if (state.text == text && state.color == color)
                    return true;
            }
            return false;
        });
    };
    // It ticks, and the turn passing starts it again from "00:00"; each restart below shows in
    // the other colour than the state before it.
    inspect::AdvanceClock(1000000);
    ASSERT_TRUE(shows("00:01", kRed));
    Turn(PLAYER_O);
    ASSERT_TRUE(shows("00:00", kBlue));
    Turn(PLAYER_X);
    ASSERT_TRUE(shows("00:00", kRed));
    // So does every new game, in the colour of the player who opens it.
    Turn(PLAYER_O);
    ASSERT_TRUE(shows("00:00", kBlue));
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "New local game"));
    ASSERT_TRUE(shows("00:00", kRed));
    // A link coming up or going down restarts the clock in X's colour.
    for (uint32 link : {MSG_LINK_UP, MSG_LINK_DOWN}) {
        Turn(PLAYER_O);
        ASSERT_TRUE(shows("00:00", kBlue));
        messenger.SendMessage(link);
        EXPECT_TRUE(shows("00:00", kRed));
        EXPECT_TRUE(WaitUntil([&] { return Linked(link == MSG_LINK_UP); }));
    }
}

// A window held in an alert handles one late tick when it is closed, and the clock shows the time
// since the turn passed at once, not every second missed one after the other.
TEST_F(MainWindowTest, AfterAnAlertTheClockShowsTheTimeSinceTheTurnAtOnce) {
    const bigtime_t sent = system_time();
    Turn(PLAYER_O);
    ASSERT_TRUE(WaitUntil([] { return Clock().color == kBlue; }));
    const bigtime_t turned = system_time();
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "About..."));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().size() == 1; }));
    inspect::AdvanceClock(2100000);
    // The window's thread waits in the alert: the clock cannot change until it is closed.
    const auto seen = inspect::WatchLabel(kTitle, "time status");
    const bigtime_t closed = system_time();
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([&] { return !seen->empty(); }));
    const bigtime_t handled = system_time();
    const std::string text = seen->front().text;
    ASSERT_EQ(text.size(), 5u) << text;
    const bigtime_t shown = std::stoi(text.substr(0, 2)) * 60 + std::stoi(text.substr(3));
    EXPECT_GE(shown, (closed - turned) / 1000000) << text;
    EXPECT_LE(shown, (handled - sent) / 1000000) << text;
}

// The listen loop tries the port again on its own, two seconds on the test's clock.
TEST(MainWindowPortTest, ListeningFollowsOnceThePortHeldElsewhereIsFree) {
    testing_support::Socket holder = testing_support::Listen();
    ASSERT_GE(holder.fd, 0);
    new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return Status() == "Port 1777 in use"; }));
    holder.Close();
    inspect::AdvanceClock(2000000);
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.ReadUntil("CON\n"));
    ASSERT_TRUE(inspect::Close(kTitle) && WaitUntil(MainWindowGone));
}

// The listen loop, waiting to try the port again, does not hold the quit.
TEST(MainWindowPortTest, QuittingWhileThePortIsInUseEndsTheProgramAtOnce) {
    const testing_support::Socket holder = testing_support::Listen();
    ASSERT_GE(holder.fd, 0);
    new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return Status() == "Port 1777 in use"; }));
    kill(getpid(), SIGTERM);
    EXPECT_TRUE(WaitUntil(MainWindowGone, std::chrono::seconds(5)));
}

namespace {

// What may hold the program when the user ends it: by the main window's close box, or by a quit
// request (SIGTERM, as a desktop logging out sends).
struct Busy {
    const char* name;
    std::function<bool(MainWindow*, RawPeer&)> start;
    bool closeBox;
    const char* told = nullptr;  // what the peer, if there is one, received by the end
};

void PrintTo(const Busy& busy, std::ostream* out) {
    *out << busy.name;
}

bool OpenFromMenu(const char* item, const char* window) {
    return inspect::TriggerMenuItem(kTitle, item) &&
           WaitUntil([=] { return inspect::FindWindow(window).has_value(); });
}

// A compose window, its chat sent without a link, waits in the alert saying it was not sent.
bool NotSentAlert(MainWindow* window, RawPeer&) {
    new MsgWindow(window->Link(), true, nullptr);
    return WaitUntil([] { return testing_support::ViewOf("Message", "Textruta").focused; }) &&
           inspect::Type("Message", "Textruta", "hello") && inspect::PressButton("Message", "ok") &&
           WaitUntil([] { return inspect::Alerts().size() == 1; });
}

// The engine's search, which here would go on for an hour.
bool ComputerThinks(MainWindow* window, RawPeer&) {
    if (!window->Lock())
        return false;
    window->BoardView()->SetComputerLimits({.time = std::chrono::hours(1)});
    window->Unlock();
    // Handled in order: the search starts with the move.
    return inspect::TriggerMenuItem(kTitle, "Hard") &&
           inspect::TriggerMenuItem(kTitle, "New game against the computer") &&
           inspect::Click(kTitle, BPoint(150, 170)) &&
           WaitUntil([window] { return window->BoardView()->Computer()->Searching(); });
}

// The peer, X, wins on row 1 while this side answers on row 2.
bool WinAlert(MainWindow*, RawPeer& peer) {
    if (!peer.Connect() || !peer.ReadUntil("CON\n"))
        return false;
    for (int column = 1; column <= 4; ++column) {
        if (!peer.Send("PUT " + std::to_string(column) + " 1\n") ||
            !WaitUntil([] { return View("time status").color == kBlue; }) ||
            !inspect::Click(kTitle, BPoint(column * 20 - 10, 50)) ||
            !WaitUntil([] { return View("time status").color == kRed; }))
            return false;
    }
    return peer.Send("PUT 5 1\n") && WaitUntil([] { return inspect::Alerts().size() == 1; });
}

constexpr char kGame[] = "CON\nPUT 1 2\nPUT 2 2\nPUT 3 2\nPUT 4 2\nDIS\n";

const Busy kBusy[] = {
    {"PlayersNearby",
     [](MainWindow*, RawPeer&) { return OpenFromMenu("Players nearby...", "Players nearby"); },
     true},
    {"NotSentAlert", NotSentAlert, true},
    {"QuitWhileTheComputerThinks", ComputerThinks, false},
    // The connect failure on the link's thread (nothing listens once it tries), then the About box
    // on this window's.
    {"QuitWithAlertsOnTwoThreads",
     [](MainWindow*, RawPeer&) {
         return OpenFromMenu("Connect...", "New game") &&
                inspect::Type("New game", "test", "127.0.0.1\n") &&
                WaitUntil([] { return inspect::Alerts().size() == 1; }) &&
                inspect::TriggerMenuItem(kTitle, "About...") &&
                WaitUntil([] { return inspect::Alerts().size() == 2; });
     },
     false},
    {"QuitDuringTheWinAlert", WinAlert, false, kGame},
};

}  // namespace

class MainWindowEndTest : public MainWindowTest, public testing::WithParamInterface<Busy> {};

// Qt drops the window system's close request for a window that an application-modal box blocks;
// the close box still ends the program, with no second press. A quit request ends it at once.
TEST_P(MainWindowEndTest, TheProgramEndsWhateverHoldsIt) {
    RawPeer peer;
    ASSERT_TRUE(GetParam().start(window, peer));
    if (GetParam().closeBox) {
        ASSERT_TRUE(inspect::Close(kTitle));
    } else {
        kill(getpid(), SIGTERM);
    }
    EXPECT_TRUE(WaitUntil([] { return MainWindowGone() && inspect::Alerts().empty(); },
                          std::chrono::seconds(5)));
    if (GetParam().told != nullptr) {
        ASSERT_TRUE(peer.ReadUntilClosed());
        EXPECT_EQ(peer.Received(), GetParam().told);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, MainWindowEndTest, testing::ValuesIn(kBusy),
                         [](const testing::TestParamInfo<Busy>& info) { return info.param.name; });

TEST_F(MainWindowTest, AssistiveToolsSeeNamedControlsABoardOfCellsAndHearWhatChanges) {
    const auto told = inspect::WatchAccessibility();
    const std::optional<inspect::AccessibleNode> tree = inspect::AccessibleTree(kTitle);
    ASSERT_TRUE(tree);
    // Every control has a name; the status texts are named by their text and say what it is.
    std::function<void(const inspect::AccessibleNode&)> named = [&](const auto& node) {
        if (node.role != "Client" && node.role != "Separator" && node.role != "Window") {
            EXPECT_NE(node.name, "") << node.role;
        }
        for (const inspect::AccessibleNode& child : node.children)
            named(child);
    };
    named(*tree);
    for (const auto& [name, role, description] :
         {std::tuple{"Menu", "MenuBar", ""},
          {"Board", "Table", ""},
          {"Listen for connections...", "StaticText", "Network"},
          {"X: 0", "StaticText", "Games won by X"},
          {"O: 0", "StaticText", "Games won by O"}}) {
        const inspect::AccessibleNode* node = tree->Find(name);
        ASSERT_TRUE(node) << name;
        EXPECT_EQ(node->role, role);
        EXPECT_EQ(node->description, description);
    }
    // The board: 15 x 15 cells named as the moves count them, the cursor's cell, the centre,
    // focused while the board has the focus.
    auto table = inspect::AccessibleTable(kTitle, "gamruta");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->columns * 100 + table->rows, 1515);
    EXPECT_EQ(table->cells[2 * 15 + 7], "Column 8, row 3, empty");
    ASSERT_TRUE(WaitUntil([] { return View("gamruta").focused; }));
    EXPECT_EQ(table->focusedColumn * 100 + table->focusedRow, 707);

    // A move is told in its cell and by the board; the cursor follows the keys.
    ASSERT_TRUE(inspect::Click(kTitle, BPoint(50, 90)) && inspect::PressKey(kTitle, B_LEFT_ARROW));
    ASSERT_TRUE(WaitUntil([&] {
        table = inspect::AccessibleTable(kTitle, "gamruta");
        return table->cells[3 * 15 + 2] == "Column 3, row 4, X" && table->focusedColumn == 6;
    }));
    messenger.SendMessage(MSG_X_WON);
    for (const auto& [event, role, name, description] :
         {std::tuple{"NameChanged", "StaticText", "X: 1", "Games won by X"},
          {"NameChanged", "Cell", "Column 3, row 4, X", ""},
          {"DescriptionChanged", "Table", "Board", "X played at column 3, row 4"},
          {"Focus", "Cell", "Column 7, row 8, empty", ""}}) {
        EXPECT_TRUE(WaitUntil([&] {
            return std::ranges::any_of(*told, [&](const inspect::AccessibleEventInfo& told) {
                return told.event == event && told.role == role && told.name == name &&
                       told.description == description;
            });
        })) << event
            << " " << name;
    }
}
