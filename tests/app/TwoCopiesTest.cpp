// Two copies of the program in one process, each with its own link, on this test's own loopback.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "tests/ProgramWindows.h"
#include "tests/TestSupport.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kOne[] = "Quillet one", kTwo[] = "Quillet two";
// Which copy serves and which connects to it, once they have started.
const char* server = kOne;
const char* client = kTwo;

std::string Both(const char* view) {
    return ViewOf(server, view).text + "|" + ViewOf(client, view).text;
}

bool OneListens() {
    const std::string both = Both("status connect");
    return both == "Listen for connections...|Port 1777 in use" ||
           both == "Port 1777 in use|Listen for connections...";
}

// An X crosses its cell's centre; an O's ring passes 8 pixels right of it.
bool Shows(const char* window, int column, int row, rgb_color colour) {
    const int x = column * 20 - 10 + (colour == kBlue ? 8 : 0);
    return inspect::Pixel(window, "gamruta", x, row * 20 - 10) == colour;
}

// A click at a cell's centre on one copy (under the menu bar), seen on the other unless it ends
// the game.
bool Play(const char* mover, const char* other, int column, int row, rgb_color colour,
          bool ends = false) {
    return inspect::Click(mover, BPoint(column * 20 - 10, row * 20 + 10)) &&
           (ends || WaitUntil([&] { return Shows(other, column, row, colour); }));
}

}  // namespace

// Started together, one copy listens and the other finds the port taken and connects to it; they
// play a win, and "Disconnect" leaves two local games.
TEST(TwoCopiesTest, StartTogetherPlayAWinThenDisconnect) {
    for (const char* title : {kOne, kTwo}) {  // titles of their own tell the two apart
        auto* window = new MainWindow();
        window->Lock();
        window->SetTitle(title);
        window->Unlock();
    }
    ASSERT_TRUE(WaitUntil(OneListens));
    if (ViewOf(kOne, "status connect").text != "Listen for connections...")
        std::swap(server, client);
    ASSERT_TRUE(inspect::TriggerMenuItem(client, "Connect...") &&
                WaitUntil([] { return inspect::FindWindow("New game").has_value(); }) &&
                inspect::Type("New game", "test", "127.0.0.1") &&
                inspect::PressButton("New game", "ok"));
    ASSERT_TRUE(WaitUntil([] {
        return Both("status connect") == "Connected as server|Connected as client" &&
               !inspect::FindWindow("New game");
    }));

    // X, the client, moves first; five in the top row wins, and the loser, O, opens next.
    for (int column = 1; column <= 4; ++column)
        ASSERT_TRUE(Play(client, server, column, 1, kRed) &&
                    Play(server, client, column, 2, kBlue));
    ASSERT_TRUE(Play(client, server, 5, 1, kRed, true));
    ASSERT_TRUE(WaitUntil([] {
        const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
        return alerts.size() == 2 && alerts[0].text == "Player X won!" &&
               alerts[1].text == "Player X won!";
    }));
    for (const size_t left : {1, 0})  // OK on each copy's alert
        ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK") &&
                    WaitUntil([&] { return inspect::Alerts().size() == left; }));
    EXPECT_TRUE(WaitUntil(
        [] { return Both("x connect") + " " + Both("o connect") == "X: 1|X: 1 O: 0|O: 0"; }));
    ASSERT_TRUE(Play(server, client, 8, 8, kBlue));

    // Both boards go back to a local game, scores reset, and one copy listens again.
    ASSERT_TRUE(inspect::TriggerMenuItem(client, "Disconnect"));
    ASSERT_TRUE(WaitUntil([] {
        return ViewOf(server, "x connect").text == "X: 0" && !Shows(server, 8, 8, kBlue) &&
               !Shows(client, 8, 8, kBlue) && OneListens();
    }));

    be_app->PostMessage(B_QUIT_REQUESTED);
    EXPECT_TRUE(
        WaitUntil([] { return be_app->CountWindows() == 0 && inspect::Windows().empty(); }));
}
