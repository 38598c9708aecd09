#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include "app/Constants.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/RawPeer.h"
#include "tests/TestSupport.h"

using testing_support::RawPeer;
using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kTitle[] = "Quillet 1.4";

std::optional<inspect::WindowInfo> ShownMainWindow() {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kTitle);
    if (window && window->View("time status") != nullptr)
        return window;
    return std::nullopt;
}

bool MainWindowGone() {
    return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0;
}

constexpr rgb_color kRed{255, 0, 0, 255};
constexpr rgb_color kBlue{0, 0, 255, 255};

std::string Text(const char* view) {
    std::optional<inspect::WindowInfo> window = ShownMainWindow();
    return window ? window->View(view)->text : "";
}

rgb_color ClockColour() {
    std::optional<inspect::WindowInfo> window = ShownMainWindow();
    return window ? window->View("time status")->color : rgb_color{};
}

bool ItemEnabled(const std::string& label) {
    std::optional<inspect::WindowInfo> window = ShownMainWindow();
    for (const inspect::MenuInfo& menu :
         window ? window->menus : std::vector<inspect::MenuInfo>{}) {
        for (const inspect::MenuItemInfo& item : menu.items) {
            if (item.label == label)
                return item.enabled;
        }
    }
    return false;
}

void PostTurn(const BMessenger& window, int8 player) {
    BMessage turn(MSG_TURN);
    turn.AddInt8(FIELD_PLAYER, player);
    window.SendMessage(&turn);
}

// Everything the window was sent before this has been handled once the clock shows the
// sentinel's colour (and whatever that handling posted to the window is queued before it).
void Settle(const BMessenger& window) {
    for (int round = 0; round < 2; ++round) {
        const int8 player = ClockColour() == kBlue ? PLAYER_X : PLAYER_O;
        PostTurn(window, player);
        ASSERT_TRUE(
            WaitUntil([&] { return ClockColour() == (player == PLAYER_O ? kBlue : kRed); }));
    }
}

// A main window, shown, closed at the end.
class Shown {
public:
    Shown() : window(new MainWindow()), messenger(window) {
        EXPECT_TRUE(WaitUntil([] { return ShownMainWindow().has_value(); }));
    }
    ~Shown() {
        inspect::Close(kTitle);
        EXPECT_TRUE(WaitUntil(MainWindowGone));
    }
    MainWindow* const window;
    const BMessenger messenger;
};

}  // namespace

TEST(MainWindowTest, StartsUpAsTheUserExpects) {
    new MainWindow();
    std::optional<inspect::WindowInfo> window;
    ASSERT_TRUE(WaitUntil([&] { return (window = ShownMainWindow()).has_value(); }));

    EXPECT_EQ(window->frame, BRect(200, 200, 500, 540)) << "301 x 341 pixels of content";
    EXPECT_FALSE(window->resizable);
    EXPECT_FALSE(window->zoomable);

    ASSERT_EQ(window->menus.size(), 3u);
    EXPECT_EQ(window->menus[0].title, "File");
    EXPECT_EQ(window->menus[1].title, "Internet");
    EXPECT_EQ(window->menus[2].title, "Help");
    auto expectItems = [&](size_t menu, std::vector<inspect::MenuItemInfo> items) {
        ASSERT_EQ(window->menus[menu].items.size(), items.size()) << window->menus[menu].title;
        for (size_t i = 0; i < items.size(); ++i) {
            const inspect::MenuItemInfo& item = window->menus[menu].items[i];
            EXPECT_EQ(item.label, items[i].label);
            EXPECT_EQ(item.shortcut, items[i].shortcut) << item.label;
            EXPECT_EQ(item.enabled, items[i].enabled) << item.label;
        }
    };
    expectItems(0, {{"New local game", "Ctrl+N", true}, {"", "", true}, {"Quit", "Ctrl+Q", true}});
    expectItems(1, {{"Connect...", "Ctrl+C", true},
                    {"Disconnect", "Ctrl+D", false},
                    {"Send message", "Ctrl+M", false}});
    expectItems(2, {{"About...", "", true}});

    struct Expected {
        const char* name;
        const char* text;
        BRect frame;
    };
    for (const Expected& expected :
         {Expected{"status connect", "Listen for connections...", BRect(1, 310, 150, 340)},
          Expected{"x connect", "X: 0", BRect(220, 310, 260, 340)},
          Expected{"o connect", "O: 0", BRect(260, 310, 295, 340)},
          Expected{"time status", "00:00", BRect(170, 310, 210, 340)}}) {
        const inspect::ViewInfo* view = window->View(expected.name);
        ASSERT_NE(view, nullptr) << expected.name;
        EXPECT_EQ(view->kind, "label");
        EXPECT_EQ(view->text, expected.text);
        EXPECT_EQ(view->frame, expected.frame) << expected.name;
    }
    EXPECT_EQ(window->View("time status")->color, (rgb_color{255, 0, 0, 255}));
    EXPECT_EQ(window->View("status connect")->color, (rgb_color{0, 0, 0, 255}));
    EXPECT_EQ(window->View("Menyn")->frame, BRect(0, 0, 300, 19));

    ASSERT_TRUE(inspect::Close(kTitle));
    EXPECT_TRUE(WaitUntil(MainWindowGone));
}

TEST(MainWindowTest, QuitFromTheMenuEndsTheProgram) {
    new MainWindow();
    ASSERT_TRUE(WaitUntil([&] { return ShownMainWindow().has_value(); }));
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "Quit"));
    EXPECT_TRUE(WaitUntil(MainWindowGone));
}

TEST(MainWindowTest, TheClockRestartsAtEveryTurnInTheMoversColourAndTicks) {
    Shown shown;
    PostTurn(shown.messenger, PLAYER_O);
    ASSERT_TRUE(WaitUntil([] { return ClockColour() == kBlue && Text("time status") == "00:00"; }));
    // The clock runner ticks every second.
    ASSERT_TRUE(WaitUntil([] { return Text("time status") == "00:01"; }));
    PostTurn(shown.messenger, PLAYER_X);
    ASSERT_TRUE(WaitUntil([] { return ClockColour() == kRed && Text("time status") == "00:00"; }));
    shown.messenger.SendMessage(MSG_LINK_DOWN);
    PostTurn(shown.messenger, PLAYER_O);
    shown.messenger.SendMessage(MSG_LINK_UP);
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Disconnect") && ItemEnabled("Send message"); }));
    EXPECT_EQ(ClockColour(), kRed) << "a link coming up restarts the clock in X's colour";
    EXPECT_EQ(Text("time status"), "00:00");
    shown.messenger.SendMessage(MSG_LINK_DOWN);
    ASSERT_TRUE(
        WaitUntil([] { return !ItemEnabled("Disconnect") && !ItemEnabled("Send message"); }));
}

TEST(MainWindowTest, ScoresCountWinsUntilReset) {
    Shown shown;
    for (int win = 0; win < 5; ++win)
        shown.messenger.SendMessage(MSG_X_WON);
    shown.messenger.SendMessage(MSG_O_WON);
    ASSERT_TRUE(
        WaitUntil([] { return Text("x connect") == "X: 5" && Text("o connect") == "O: 1"; }));
    shown.messenger.SendMessage(MSG_RESET_SCORE);
    ASSERT_TRUE(
        WaitUntil([] { return Text("x connect") == "X: 0" && Text("o connect") == "O: 0"; }));
}

TEST(MainWindowTest, DisconnectWithoutALinkChangesNothing) {
    Shown shown;
    ASSERT_TRUE(WaitUntil([] { return Text("status connect") == "Listen for connections..."; }));
    shown.messenger.SendMessage(MSG_DISCONNECT);
    Settle(shown.messenger);
    EXPECT_EQ(Text("status connect"), "Listen for connections...");
    EXPECT_FALSE(ItemEnabled("Disconnect"));
}

TEST(MainWindowTest, ANewLocalGameEndsTheLinkButLeavesTheMenuAsItIs) {
    Shown shown;
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([] { return Text("status connect") == "Connected as server"; }));
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Disconnect"); }));
    shown.messenger.SendMessage(MSG_X_WON);

    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "New local game"));
    ASSERT_TRUE(peer.ReadUntil("DIS\n"));
    // The peer answers as a copy of the game would; this side has ended the link already.
    peer.Send("DIS\n");
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    ASSERT_TRUE(WaitUntil([] { return Text("status connect") == "Listen for connections..."; }));
    Settle(shown.messenger);
    EXPECT_TRUE(ItemEnabled("Disconnect"));
    EXPECT_TRUE(ItemEnabled("Send message"));
    EXPECT_EQ(Text("x connect"), "X: 1") << "the peer's answer must not reset the scores";
}

TEST(MainWindowTest, QuittingWhileConnectedTellsThePeerOnce) {
    auto* window = new MainWindow();
    ASSERT_TRUE(WaitUntil([] { return ShownMainWindow().has_value(); }));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(WaitUntil([] { return Text("status connect") == "Connected as server"; }));
    BMessenger(window).SendMessage(MSG_QUIT);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(WaitUntil(MainWindowGone));
}

TEST(MainWindowTest, AboutShowsTheProgramsNameLarger) {
    Shown shown;
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "About..."));
    std::vector<inspect::AlertInfo> alerts;
    ASSERT_TRUE(WaitUntil([&] { return !(alerts = inspect::Alerts()).empty(); }));
    EXPECT_EQ(alerts[0].title, "Quillet");
    EXPECT_EQ(
        alerts[0].text,
        "Quillet\nby the Quillet authors\nhttps://quillet.example.org\nquillet@example.org\n\n");
    EXPECT_EQ(alerts[0].html.find("<span style=\"font-size:15px\">Quillet</span>"), 0u);
    EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"OK"});
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
}
