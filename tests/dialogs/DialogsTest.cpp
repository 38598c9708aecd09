// The connect dialog and the chat windows, driven as a user would, against plain sockets on
// port 1777 of this test's own loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

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

constexpr char kMain[] = "Quillet 1.4";
constexpr char kDialog[] = "New game";
constexpr char kChat[] = "Message";

sockaddr_in Port1777() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(1777);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A plain socket of the test's own: a listener, a connection it made or one it accepted.
class Socket {
public:
    explicit Socket(int fd = -1) : fd(fd) {}
    Socket(Socket&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ~Socket() { Close(); }
    void Close() {
        if (fd >= 0)
            close(std::exchange(fd, -1));
    }

    bool ReadUntil(const std::string& suffix) {
        return WaitUntil([&] { return Read() || received.ends_with(suffix); }) &&
               received.ends_with(suffix);
    }
    bool ReadUntilClosed() {
        return WaitUntil([&] { return Read(); });
    }

    int fd;
    std::string received;

private:
    // Takes what has arrived; true once the other side has closed.
    bool Read() {
        pollfd readable{fd, POLLIN, 0};
        while (!closed && poll(&readable, 1, 0) == 1) {
            char buffer[1024];
            const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
            closed = count <= 0;
            if (count > 0)
                received.append(buffer, count);
        }
        return closed;
    }
    bool closed = false;
};

// Holds 127.0.0.1:1777 for the test, so that the program's own listener cannot bind it.
Socket Listen1777(int backlog) {
    Socket listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = Port1777();
    if (bind(listener.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.fd, backlog) != 0)
        listener.Close();
    return listener;
}

// One blocking connect: on loopback it is answered at once, or refused at once.
Socket Connect1777() {
    Socket connection(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Port1777();
    if (connect(connection.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        connection.Close();
    return connection;
}

bool SomethingListens() {
    return Connect1777().fd >= 0;
}

Socket Accept(const Socket& listener) {
    int fd = -1;
    WaitUntil([&] {
        pollfd readable{listener.fd, POLLIN, 0};
        if (poll(&readable, 1, 0) == 1)
            fd = accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
        return fd >= 0;
    });
    return Socket(fd);
}

// Connections completed but not yet accepted by a listener.
unsigned Queued(const Socket& listener) {
    tcp_info info{};
    socklen_t length = sizeof info;
    getsockopt(listener.fd, IPPROTO_TCP, TCP_INFO, &info, &length);
    return info.tcpi_unacked;
}

// Some socket of this namespace is still sending SYNs to 127.0.0.1:1777.
bool ConnectInFlight() {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (remote == "0100007F:06F1" && state == "02")
            return true;
    }
    return false;
}

std::string Text(const char* view) {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kMain);
    const inspect::ViewInfo* info = window ? window->View(view) : nullptr;
    return info ? info->text : "";
}

std::string Status() {
    return Text("status connect");
}

bool ItemEnabled(const std::string& label) {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kMain);
    for (const inspect::MenuInfo& menu : window ? window->menus : std::vector<inspect::MenuInfo>{})
        for (const inspect::MenuItemInfo& item : menu.items)
            if (item.label == label)
                return item.enabled;
    return false;
}

bool DialogShows(const std::string& field, bool enabled, const std::string& button) {
    std::optional<inspect::WindowInfo> dialog = inspect::FindWindow(kDialog);
    const inspect::ViewInfo* text = dialog ? dialog->View("test") : nullptr;
    const inspect::ViewInfo* ok = dialog ? dialog->View("ok") : nullptr;
    return text && ok && text->text == field && text->enabled == enabled && ok->text == button;
}

bool FailureAlertShown() {
    for (const inspect::AlertInfo& alert : inspect::Alerts())
        if (alert.title == "fel" && alert.text == "Could'nt connect to the IP" &&
            alert.buttons == std::vector<std::string>{"OK"})
            return true;
    return false;
}

std::vector<inspect::WindowInfo> ChatWindows() {
    std::vector<inspect::WindowInfo> chats;
    for (inspect::WindowInfo& window : inspect::Windows())
        if (window.title == kChat)
            chats.push_back(std::move(window));
    return chats;
}

// Exactly one chat window, showing text and the button, editable or not.
bool OneChatShows(const std::string& text, bool editable, const std::string& button) {
    std::vector<inspect::WindowInfo> chats = ChatWindows();
    if (chats.size() != 1)
        return false;
    const inspect::ViewInfo* view = chats[0].View("Textruta");
    const inspect::ViewInfo* ok = chats[0].View("ok");
    return chats[0].View("scroll") && view && ok && view->kind == "textview" &&
           view->text == text && view->editable == editable && ok->text == button;
}

bool OpenDialog() {
    return inspect::TriggerMenuItem(kMain, "Connect...") &&
           WaitUntil([] { return DialogShows("", true, "Connect"); });
}

bool CloseDialog() {
    return inspect::Close(kDialog) &&
           WaitUntil([] { return !inspect::FindWindow(kDialog) && be_app->CountWindows() == 1; });
}

// The main window, shown; quitting it closes whatever dialog or chat window is left.
class Program {
public:
    Program() : messenger(new MainWindow()) {
        EXPECT_TRUE(WaitUntil([] { return !Text("time status").empty(); }));
    }
    ~Program() { Quit(); }
    void Quit() {
        if (inspect::PressAlertButton("fel", "OK")) {
            EXPECT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
        }
        if (inspect::Close(kMain)) {
            EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
        }
    }
    const BMessenger messenger;
};

void ExpectRefused(const std::string& address) {
    SCOPED_TRACE(address.substr(0, 30));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::Type(kDialog, "test", address));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil(FailureAlertShown));
    // The connecting thread waits in the alert; the dialog is ready for another try meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return DialogShows(address, true, "Connect"); }));
    EXPECT_FALSE(SomethingListens()) << "listening restarted before the dialog closed";
    ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    EXPECT_FALSE(SomethingListens());
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
}

}  // namespace

TEST(DialogsTest, ConnectingMakesThisSideTheClientAndAStrayDialogLeavesTheLinkAlone) {
    Socket listener = Listen1777(1);
    ASSERT_GE(listener.fd, 0);
    Program program;
    program.messenger.SendMessage(MSG_X_WON);
    program.messenger.SendMessage(MSG_O_WON);
    ASSERT_TRUE(
        WaitUntil([] { return Text("x connect") == "X: 1" && Text("o connect") == "O: 1"; }));

    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Connect..."));
    std::optional<inspect::WindowInfo> dialog;
    ASSERT_TRUE(WaitUntil([&] {
        dialog = inspect::FindWindow(kDialog);
        return dialog && dialog->View("ok") && dialog->View("test") &&
               dialog->View("test")->focused;
    }));
    EXPECT_TRUE(dialog->modal);
    EXPECT_TRUE(dialog->floating);
    EXPECT_EQ(dialog->View("test")->text, "");
    EXPECT_TRUE(dialog->View("test")->editable);
    EXPECT_EQ(dialog->View("ok")->text, "Connect");

    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1"));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    Socket peer = Accept(listener);
    ASSERT_GE(peer.fd, 0) << "the dialog never connected";
    ASSERT_TRUE(WaitUntil(
        [] { return !inspect::FindWindow(kDialog) && Status() == "Connected as client"; }));
    EXPECT_EQ(Text("x connect"), "X: 0");
    EXPECT_EQ(Text("o connect"), "O: 0");
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Disconnect") && ItemEnabled("Send message"); }));

    // Opened and closed while connected: the link and the scores stay, the peer hears nothing.
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "still here"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(peer.ReadUntil("MSG still here"));
    EXPECT_EQ(peer.received, "MSG still here");
    EXPECT_EQ(Status(), "Connected as client");
    EXPECT_EQ(Text("x connect"), "X: 1");

    program.Quit();
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.received, "MSG still hereDIS\n");
}

TEST(DialogsTest, ARefusedConnectShowsTheAlertAndListensAgainOnceTheDialogCloses) {
    Program program;
    ASSERT_NO_FATAL_FAILURE(ExpectRefused("127.0.0.1"));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Connected as server"; }));
}

TEST(DialogsTest, AnAddressThatCannotBeTriedIsRefusedTheSameWay) {
    Program program;
    // Outside a namespace of its own the look-up would ask the machine's name server.
    if (std::getenv("QUILLET_TEST_NAMESPACE") != nullptr) {
        ASSERT_NO_FATAL_FAILURE(ExpectRefused("no-such-host.invalid"));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectRefused(std::string(150, '7')));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
}

TEST(DialogsTest, CancelStopsAnAttemptThatHangsAndListeningComesBack) {
    // A listener whose accept queue is full drops further SYNs: the dialog's connect hangs.
    Socket listener = Listen1777(0);
    ASSERT_GE(listener.fd, 0);
    Socket filler = Connect1777();
    ASSERT_GE(filler.fd, 0);
    ASSERT_TRUE(WaitUntil([&] { return Queued(listener) >= 1; }));
    Program program;

    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1"));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil([] { return DialogShows("Connecting...", false, "Cancel"); }));
    ASSERT_TRUE(WaitUntil(ConnectInFlight));

    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil([] { return !ConnectInFlight(); })) << "the attempt went on";
    EXPECT_TRUE(DialogShows("Connecting...", false, "Cancel"));
    EXPECT_TRUE(inspect::Alerts().empty());
    EXPECT_NE(Status(), "Connected as client");

    // With the port free, another Cancel (and one more once something listens) must leave
    // exactly one listener, owned by the link.
    filler.Close();
    listener.Close();
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(CloseDialog());
    EXPECT_TRUE(inspect::Alerts().empty());
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    EXPECT_TRUE(peer.ReadUntil("CON\n")) << "got \"" << peer.Received() << "\"";
    EXPECT_TRUE(WaitUntil([] { return Status() == "Connected as server"; }));
}

TEST(DialogsTest, ClosingTheDialogUnusedResetsTheScoresAndKeepsListening) {
    Program program;
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 0"; }));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Connected as server"; }));
}

TEST(DialogsTest, ChatWindowsSendReadAndReply) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Send message"); }));

    // Percent signs and line feeds go as typed.
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    EXPECT_TRUE(ChatWindows()[0].View("Textruta")->focused);
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "50% of\nthe text"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    std::string expected = "CON\nMSG 50% of\nthe text";
    ASSERT_TRUE(peer.ReadUntil(expected));
    EXPECT_EQ(peer.Received(), expected);
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));

    // A long text is cut to what one chat line carries.
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", std::string(900, 'w')));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    expected += "MSG " + std::string(895, 'w');
    ASSERT_TRUE(peer.ReadUntil(expected));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));

    // A received text is shown read-only; Reply swaps it for an empty compose window.
    peer.Send("MSG hi there");
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("hi there", false, "Reply"); }));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));

    // Sent once the link is gone: nothing goes out, and the window still closes.
    peer.Send("DIS\n");
    ASSERT_TRUE(WaitUntil(
        [] { return Status() == "Listen for connections..." && !ItemEnabled("Send message"); }));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "too late"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));
    ASSERT_TRUE(peer.ReadUntilClosed());
    const std::string& received = peer.Received();
    EXPECT_TRUE(received == expected || received == expected + "DIS\n") << received;
}
