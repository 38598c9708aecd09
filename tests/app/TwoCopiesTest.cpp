// Two copies of the program in one process: two main windows, each with its own link, playing
// and chatting over real sockets on this test's own loopback.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

constexpr char kServer[] = "Quillet server";
constexpr char kClient[] = "Quillet client";
constexpr rgb_color kRed{255, 0, 0, 255};
constexpr rgb_color kBlue{0, 0, 255, 255};

std::string Text(const char* window, const char* view) {
    std::optional<inspect::WindowInfo> info = inspect::FindWindow(window);
    const inspect::ViewInfo* found = info ? info->View(view) : nullptr;
    return found ? found->text : "";
}

// Whether something listens on port 1777 of this loopback.
bool PortTaken() {
    int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(NET_PORT);
    const bool taken = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
    close(probe);
    return taken;
}

// A main window under a title of its own, so that the two can be told apart.
MainWindow* OpenCopy(const char* title) {
    auto* window = new MainWindow();
    window->Lock();
    window->SetTitle(title);
    window->Unlock();
    EXPECT_TRUE(WaitUntil([&] { return inspect::FindWindow(title).has_value(); })) << title;
    return window;
}

// The window point at the centre of a cell of the board.
BPoint Cell(int column, int row) {
    return BPoint(column * 20 - 10, row * 20 + 10);
}

bool Shows(const char* window, int column, int row, rgb_color colour) {
    // An X crosses its cell's centre; an O's ring passes 8 pixels right of it.
    const BPoint centre = Cell(column, row) - BPoint(0, 20);
    const int x = static_cast<int>(centre.x) + (colour == kBlue ? 8 : 0);
    return inspect::Pixel(window, "gamruta", x, static_cast<int>(centre.y)) == colour;
}

// A move by mouse on one copy, seen on the other.
void Play(const char* mover, const char* other, int column, int row, rgb_color colour) {
    ASSERT_TRUE(inspect::Click(mover, Cell(column, row)));
    ASSERT_TRUE(WaitUntil([&] { return Shows(other, column, row, colour); }))
        << other << " never showed the move at " << column << ", " << row;
}

bool AlertsShown(size_t count) {
    return inspect::Alerts().size() == count;
}

bool ChatShows(const std::string& text, bool editable) {
    std::optional<inspect::WindowInfo> chat = inspect::FindWindow("Message");
    const inspect::ViewInfo* view = chat ? chat->View("Textruta") : nullptr;
    return view != nullptr && view->text == text && view->editable == editable;
}

}  // namespace

TEST(TwoCopiesTest, PlayAGameChatAndDisconnect) {
    OpenCopy(kServer);
    ASSERT_TRUE(WaitUntil(PortTaken));
    // The second copy finds the port taken, as it would on one machine.
    OpenCopy(kClient);

    ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Connect..."));
    ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow("New game").has_value(); }));
    ASSERT_TRUE(inspect::Type("New game", "test", "127.0.0.1"));
    ASSERT_TRUE(inspect::PressButton("New game", "ok"));
    ASSERT_TRUE(WaitUntil([] {
        return Text(kServer, "status connect") == "Connected as server" &&
               Text(kClient, "status connect") == "Connected as client" &&
               !inspect::FindWindow("New game");
    }));

    // X, the client, moves first; five in the top row wins.
    for (int column = 1; column <= 4; ++column) {
        Play(kClient, kServer, column, 1, kRed);
        Play(kServer, kClient, column, 2, kBlue);
    }
    ASSERT_TRUE(inspect::Click(kClient, Cell(5, 1)));
    ASSERT_TRUE(WaitUntil([] { return AlertsShown(2); })) << "both copies announce the win";
    for (const inspect::AlertInfo& alert : inspect::Alerts())
        EXPECT_EQ(alert.text, "Player X won!");
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] { return AlertsShown(1); }));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] {
        return Text(kServer, "x connect") == "X: 1" && Text(kClient, "x connect") == "X: 1";
    }));
    // The loser, O, opens the next game on both boards.
    ASSERT_TRUE(
        WaitUntil([] { return !Shows(kServer, 1, 1, kRed) && !Shows(kClient, 1, 1, kRed); }));
    Play(kServer, kClient, 8, 8, kBlue);
    Play(kClient, kServer, 9, 9, kRed);

    // A chat each way.
    ASSERT_TRUE(inspect::TriggerMenuItem(kServer, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return ChatShows("", true); }));
    ASSERT_TRUE(inspect::Type("Message", "Textruta", "hello, 100%\nsure"));
    ASSERT_TRUE(inspect::PressButton("Message", "ok"));
    ASSERT_TRUE(WaitUntil([] { return ChatShows("hello, 100%\nsure", false); }));
    ASSERT_TRUE(inspect::PressButton("Message", "ok"));  // Reply
    ASSERT_TRUE(WaitUntil([] { return ChatShows("", true); }));
    ASSERT_TRUE(inspect::Type("Message", "Textruta", "hi back"));
    ASSERT_TRUE(inspect::PressButton("Message", "ok"));
    ASSERT_TRUE(WaitUntil([] { return ChatShows("hi back", false); }));
    ASSERT_TRUE(inspect::Close("Message"));

    // "Disconnect" on the client: both boards go back to a local game and listen again (the
    // second to try finds the port taken).
    ASSERT_TRUE(inspect::TriggerMenuItem(kClient, "Disconnect"));
    ASSERT_TRUE(WaitUntil([] {
        return Text(kServer, "x connect") == "X: 0" && !Shows(kServer, 8, 8, kBlue) &&
               !Shows(kClient, 8, 8, kBlue) && PortTaken();
    }));
    EXPECT_NE(Text(kServer, "status connect"), "Connected as server");
    EXPECT_NE(Text(kClient, "status connect"), "Connected as client");
    // A local game on each: X moves, at either board.
    ASSERT_TRUE(inspect::Click(kServer, Cell(3, 3)));
    ASSERT_TRUE(inspect::Click(kClient, Cell(4, 4)));
    ASSERT_TRUE(WaitUntil([] { return Shows(kServer, 3, 3, kRed) && Shows(kClient, 4, 4, kRed); }));

    inspect::Close(kClient);
    inspect::Close(kServer);
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
}

TEST(TwoCopiesTest, QuittingWithDialogsOpenWhileConnectedTellsThePeer) {
    OpenCopy(kServer);
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    peer.Send("MSG first");
    ASSERT_TRUE(WaitUntil([] { return ChatShows("first", false); }));
    peer.Send("MSG second");
    ASSERT_TRUE(WaitUntil([] { return inspect::Windows().size() == 3; }));
    ASSERT_TRUE(inspect::TriggerMenuItem(kServer, "Connect..."));
    ASSERT_TRUE(WaitUntil([] { return inspect::FindWindow("New game").has_value(); }));

    // As a terminal's Ctrl+C or the session's end would.
    be_app->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(
        WaitUntil([] { return be_app->CountWindows() == 0 && inspect::Windows().empty(); }));
}
