// What the desktop shows while the user works in another window: the main window's urgency hint
// and a notification for what the other player or the computer did, each replacing the last;
// chat windows in front of the main window that leave the focus where it is. Each test runs on an
// X display and a session bus of its own (desktop-session.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "app/MainWindow.h"
#include "game/Board.h"
#include "kit/application/Application.h"
#include "kit/application/CommandLine.h"
#include "kit/qt/Inspect.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"
#include "tests/TestSupport.h"

using testing_support::ChatWindows;
using testing_support::kMainTitle;
using testing_support::RawPeer;
using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kElsewhere[] = "Elsewhere";

inspect::WindowInfo Window(const char* title) {
    return inspect::FindWindow(title).value_or(inspect::WindowInfo{});
}

}  // namespace

class DesktopTest : public testing::Test {
protected:
    void SetUp() override {
        // The names the program gives itself, as main does.
        const char* argv[] = {"quillet"};
        const kit::ProgramInfo info{.name = "quillet",
                                    .displayName = "Quillet",
                                    .version = "",
                                    .description = "",
                                    .desktopId = "org.example.quillet",
                                    .ownOptions = {}};
        ASSERT_EQ(kit::ReadCommandLine(1, argv, info), std::nullopt);
        ASSERT_TRUE(WaitUntil([] { return Window(kMainTitle).active; }));
    }
    void TearDown() override {
        inspect::Close(kElsewhere);
        inspect::Close(kMainTitle);
        EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    }

    // The user goes to another window.
    void LookElsewhere() {
        if (!inspect::FindWindow(kElsewhere))
            (new BWindow(BRect(700, 100, 900, 300), kElsewhere, B_TITLED_WINDOW, 0))->Show();
        else
            inspect::Activate(kElsewhere);
        ASSERT_TRUE(
            WaitUntil([] { return Window(kElsewhere).active && !Window(kMainTitle).active; }));
    }
    // A press on the middle of the board's cell.
    static bool ClickCell(int column, int row) {
        const BRect board = testing_support::ViewOf(kMainTitle, "gamruta").frame;
        const float cell = (board.Width() + 1) / Board::kSize;
        return inspect::Click(kMainTitle, BPoint(board.left + (column - 0.5f) * cell,
                                                 board.top + (row - 0.5f) * cell));
    }

    MainWindow* const window = new MainWindow();
};

TEST_F(DesktopTest, WhatThePeerDoesWhileTheUserIsElsewhereAsksForAttentionAndIsNotified) {
    inspect::NotificationService service;
    ASSERT_TRUE(service.Serving());
    LookElsewhere();
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([&] { return service.Received().size() == 1; }));
    EXPECT_TRUE(Window(kMainTitle).attention);

    // A chat opens in front of the main window, near it and on screen, and the user's window
    // keeps the focus.
    ASSERT_TRUE(peer.Send("MSG hi\n"));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().size() == 1; }));
    const inspect::WindowInfo chat = ChatWindows()[0];
    const BRect main = Window(kMainTitle).frame;
    EXPECT_EQ(chat.owner, kMainTitle);
    EXPECT_TRUE(main.Contains(BPoint(chat.frame.left, chat.frame.top)));
    EXPECT_GE(chat.frame.top, 0);
    EXPECT_LE(chat.frame.right, 1023);
    EXPECT_TRUE(Window(kElsewhere).active);
    // Received before the move: a notification still waiting when a newer one comes is dropped,
    // as the newer one would replace it on screen anyway.
    ASSERT_TRUE(WaitUntil([&] { return service.Received().size() == 2; }));
    ASSERT_TRUE(peer.Send("PUT 8 3\n"));
    ASSERT_TRUE(WaitUntil([&] { return service.Received().size() == 3; }));

    // Back in the main window: the hint goes, and nothing is notified while the user is there.
    ASSERT_TRUE(inspect::Activate(kMainTitle));
    ASSERT_TRUE(
        WaitUntil([] { return Window(kMainTitle).active && !Window(kMainTitle).attention; }));
    ASSERT_TRUE(peer.Send("MSG again\n"));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().size() == 2; }));
    EXPECT_NE(ChatWindows()[0].frame.LeftTop(), ChatWindows()[1].frame.LeftTop())
        << "chat windows are cascaded";
    EXPECT_TRUE(Window(kMainTitle).active);
    LookElsewhere();
    ASSERT_TRUE(peer.Send("DIS\n"));
    ASSERT_TRUE(WaitUntil([&] { return service.Received().size() == 4; }));
    EXPECT_TRUE(WaitUntil([] { return Window(kMainTitle).attention; }));

    // Each replaces the one before, in the program's name.
    std::string summaries;
    uint32 shown = 0;
    for (const inspect::Notification& note : service.Received()) {
        summaries += note.summary + "\n";
        EXPECT_EQ(note.replacesId, shown) << note.summary;
        EXPECT_EQ(note.appName, "Quillet");
        EXPECT_EQ(note.icon, "org.example.quillet");
        EXPECT_EQ(note.desktopEntry, "org.example.quillet");
        shown = note.id;
    }
    EXPECT_EQ(summaries,
              "The other player connected\nNew message from the other player\n"
              "Your turn: the other player played at 8, 3\nThe other player left\n");
}

// A service that never answers holds neither the game nor the end of the program.
TEST_F(DesktopTest, TheComputersMoveIsNotifiedAndAServiceThatHangsHoldsNothing) {
    inspect::NotificationService service(false);
    ASSERT_TRUE(service.Serving());
    ASSERT_TRUE(inspect::TriggerMenuItem(kMainTitle, "New game against the computer"));
    LookElsewhere();
    auto clock = inspect::WatchLabel(kMainTitle, "time status");
    ASSERT_TRUE(ClickCell(8, 8));
    ASSERT_TRUE(WaitUntil([&] { return service.Received().size() == 1; }));
    EXPECT_TRUE(Window(kMainTitle).attention);
    EXPECT_TRUE(std::regex_match(service.Received()[0].summary,
                                 std::regex("Your turn: the computer played at "
                                            "([1-9]|1[0-5]), ([1-9]|1[0-5])")))
        << service.Received()[0].summary;
    // The call waits for its answer (seconds), the window does not: the computer's answer to the
    // next move passes the turn (O's clock, blue, then X's) while its own note still waits.
    const size_t seen = clock->size();
    ASSERT_TRUE(ClickCell(1, 1));
    ASSERT_TRUE(WaitUntil([&] {
        return std::adjacent_find(clock->begin() + seen, clock->end(), [](auto& o, auto& x) {
                   return o.color.blue == 255 && x.color.blue != 255;
               }) != clock->end();
    }));
    EXPECT_EQ(service.Received().size(), 1u) << "the window waited for the service";
}
