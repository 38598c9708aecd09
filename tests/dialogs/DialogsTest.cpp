// The connect dialog and the chat windows, driven as a user would, against plain sockets on
// port 1777 of this test's own loopback.
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/MainWindow.h"
#include "dialogs/ChatInbox.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "net/Protocol.h"
#include "tests/ProgramWindows.h"
#include "tests/RawPeer.h"
#include "tests/Sockets.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;

namespace {

constexpr const char* kMain = kMainTitle;
constexpr char kDialog[] = "New game";
constexpr char kChat[] = "Message";
constexpr char kNotSent[] = "The message was not sent: no other player is connected.";

std::string Text(const char* view) {
    return ViewOf(kMain, view).text;
}

std::string Status() {
    return Text("status connect");
}

bool ItemEnabled(const std::string& label) {
    return MenuItem(kMain, label).enabled;
}

bool DialogShows(const std::string& field, bool enabled, const std::string& button) {
    const inspect::ViewInfo text = ViewOf(kDialog, "test"), ok = ViewOf(kDialog, "ok");
    return text.kind != "" && text.text == field && text.enabled == enabled && ok.text == button;
}

bool OneAlertSays(const std::string& title, const std::string& text) {
    const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
    return alerts.size() == 1 && alerts[0].title == title && alerts[0].text == text &&
           alerts[0].buttons == std::vector<std::string>{"OK"};
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

// 'X', 'O' or ' ': a cell's centre is red only under an X, its ring's right edge blue under an O.
char Cell(int column, int row) {
    const int x = column * 20 - 10, y = row * 20 - 10;
    if (inspect::Pixel(kMain, "gamruta", x, y) == kRed)
        return 'X';
    return inspect::Pixel(kMain, "gamruta", x + 8, y) == kBlue ? 'O' : ' ';
}

// A click at the centre of a cell, under the 20-pixel menu bar.
bool ClickCell(int column, int row) {
    return inspect::Click(kMain, BPoint(column * 20 - 10, row * 20 + 10));
}

bool OpenDialog() {
    return inspect::TriggerMenuItem(kMain, "Connect...") &&
           WaitUntil([] { return DialogShows("", true, "Connect"); });
}

// Closes a chat window and waits until it is gone, its thread too: a chat sent to it before then
// goes with it.
bool CloseChat(size_t index = 0) {
    const int windows = be_app->CountWindows();
    return inspect::Close(kChat, index) &&
           WaitUntil([=] { return be_app->CountWindows() < windows; });
}

// The main window, shown; quitting it closes whatever dialog or chat window is left.
class Program {
public:
    Program() : messenger(new MainWindow()) {
        EXPECT_TRUE(WaitUntil([] { return !Text("time status").empty(); }));
    }
    ~Program() {
        if (inspect::Close(kMain)) {
            EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
        }
    }
    const BMessenger messenger;
};

// A peer connected to the program, which serves it.
bool Served(RawPeer& peer) {
    return peer.Connect() && peer.ReadUntil("CON\n") &&
           WaitUntil([] { return Status() == "Connected as server"; });
}

// Sends bytes in a read of their own (one that starts inside a chat is more of it): the program's
// end, a descriptor of this process, has acknowledged them and holds none unread.
bool SendAlone(RawPeer& peer, const std::string& bytes) {
    sockaddr_in mine{};
    sockaddr_in6 other{};  // the program's end may be an IPv6 socket; the port is where IPv4 has it
    socklen_t length = sizeof mine;
    getsockname(peer.Fd(), reinterpret_cast<sockaddr*>(&mine), &length);
    int end = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename());
        length = sizeof other;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&other), &length) == 0 && fd != peer.Fd() &&
            other.sin6_port == mine.sin_port)
            end = fd;
    }
    return end >= 0 && peer.Send(bytes) && WaitUntil([&] {
               int unacknowledged = 1, unread = 1;
               return ioctl(peer.Fd(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0 &&
                      ioctl(end, SIOCINQ, &unread) == 0 && unread == 0;
           });
}

}  // namespace

// The connect dialog as a user meets it: an answered attempt makes this side the client with chat
// windows that send, show and reply, a refused one ends the live game, and Cancel stops one that
// hangs. Each time the dialog is ready for another try, and closing it unconnected resets the
// scores and starts listening again.
TEST(DialogsTest, TheDialogConnectsIsRefusedAndCancelsAndChatWindowsSendShowAndReply) {
    Socket listener = Listen(1777, 1);  // before the program, which then cannot listen
    ASSERT_GE(listener.fd, 0);
    Program program;
    program.messenger.SendMessage(MSG_X_WON);
    program.messenger.SendMessage(MSG_O_WON);
    ASSERT_TRUE(
        WaitUntil([] { return Text("x connect") == "X: 1" && Text("o connect") == "O: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(WaitUntil([] {
        const auto dialog = inspect::FindWindow(kDialog);
        return dialog && dialog->modal && dialog->floating && dialog->View("test") &&
               dialog->View("test")->focused;
    }));
    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1") && inspect::PressButton(kDialog, "ok"));
    Socket accepted = Accept(listener);
    ASSERT_GE(accepted.fd, 0) << "the dialog never connected";
    RawPeer peer(accepted.Release());
    listener.Close();  // nothing listens here for the refused attempt below
    ASSERT_TRUE(WaitUntil(
        [] { return !inspect::FindWindow(kDialog) && Status() == "Connected as client"; }));
    EXPECT_EQ(Text("x connect") + Text("o connect"), "X: 0O: 0");
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Disconnect") && ItemEnabled("Send message"); }));
    ASSERT_TRUE(ClickCell(8, 8) && peer.ReadUntil("PUT 8 8\n"));

    // Opened and closed while connected, the dialog leaves the link and the scores alone: the
    // chat below still goes out. Percent signs and line feeds go as typed.
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::PressKey(kDialog, B_ESCAPE));  // closes the dialog
    ASSERT_TRUE(WaitUntil([] { return !inspect::FindWindow(kDialog); }));
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    EXPECT_TRUE(ChatWindows()[0].View("Textruta")->focused);
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "50% of\nthe text"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(peer.ReadUntil("PUT 8 8\nMSG 50% of\nthe text"));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));
    EXPECT_EQ(Status() + Text("x connect"), "Connected as clientX: 1");

    // A received text is shown read-only; Reply swaps it for an empty compose window.
    ASSERT_TRUE(peer.Send("MSG hi, 100%\nthere"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("hi, 100%\nthere", false, "Reply"); }));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));

    // A refused attempt (Enter presses Connect) ends the game at once: the peer is told. The
    // connecting thread waits in the alert; the dialog is ready for another try meanwhile.
    ASSERT_TRUE(OpenDialog() && inspect::Type(kDialog, "test", "127.0.0.1\n"));
    ASSERT_TRUE(WaitUntil([] { return OneAlertSays("fel", "Could'nt connect to the IP"); }));
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "PUT 8 8\nMSG 50% of\nthe textDIS\n");
    ASSERT_TRUE(WaitUntil([&] { return DialogShows("127.0.0.1", true, "Connect"); }));
    EXPECT_LT(ConnectOnce().fd, 0) << "listening restarted before the dialog closed";
    ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    EXPECT_LT(ConnectOnce().fd, 0);
    auto full = std::make_unique<FullListener>();
    ASSERT_TRUE(full->full);
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
        ASSERT_TRUE(WaitUntil([] { return DialogShows("Connecting...", false, "Cancel"); }));
        ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; }));
        ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
        ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 0; })) << "the attempt went on";
        ASSERT_TRUE(WaitUntil([] { return DialogShows("127.0.0.1", true, "Connect"); }));
        EXPECT_TRUE(inspect::Alerts().empty());
    }
    full.reset();
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(inspect::Close(kDialog));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
    // Nothing is left to disconnect or chat with, the board is empty and a local game starts with
    // X.
    EXPECT_TRUE(WaitUntil([] { return Text("x connect") == "X: 0"; }));
    EXPECT_TRUE(Cell(8, 8) == ' ' && !ItemEnabled("Disconnect") && !ItemEnabled("Send message"));
    ASSERT_TRUE(ClickCell(3, 3) && WaitUntil([] { return Cell(3, 3) == 'X'; }));
    ASSERT_TRUE(ClickCell(4, 4) && WaitUntil([] { return Cell(4, 4) == 'O'; }));

    // Sent once the link is gone (Ctrl+Enter sends; Ctrl+Tab types a tab): nothing goes out; the
    // user is told, and the window and its text stay. Tab moves on to Send.
    // The keys wait until the closed dialog blocks the window no more.
    ASSERT_TRUE(inspect::Activate(kChat));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "too late"));
    ASSERT_TRUE(WaitUntil([] { return inspect::PressKey(kChat, B_TAB, B_CONTROL_KEY); }));
    ASSERT_TRUE(inspect::PressKey(kChat, B_ENTER, B_CONTROL_KEY));
    ASSERT_TRUE(WaitUntil([] { return OneAlertSays("Quillet", kNotSent); }));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    EXPECT_TRUE(OneChatShows("too late\t", true, "Send"));
    ASSERT_TRUE(inspect::PressKey(kChat, B_TAB));
    EXPECT_TRUE(WaitUntil([] { return ViewOf(kChat, "ok").focused; }));
}

// A quit request while "Connecting..." to a host that never answers ends the attempt and the
// program at once.
TEST(DialogsTest, QuittingWhileConnectingEndsTheAttempt) {
    const FullListener full;
    ASSERT_TRUE(full.full);
    Program program;
    ASSERT_TRUE(OpenDialog() && inspect::Type(kDialog, "test", "127.0.0.1\n"));
    ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; }));
    kill(getpid(), SIGTERM);
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    EXPECT_TRUE(WaitUntil([] { return ConnectsInFlight() == 0; })) << "the attempt went on";
}

namespace {

// The texts of the chat windows, sorted.
std::vector<std::string> ChatTexts() {
    std::vector<std::string> texts;
    for (const inspect::WindowInfo& window : ChatWindows())
        texts.push_back(window.View("Textruta")->text);
    std::ranges::sort(texts);
    return texts;
}

int Threads() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

size_t Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n') + 1;
}

}  // namespace

// What a peer may send in chats: more of a chat, also after its window was closed, many more
// chats than read windows, megabytes of them, also while the program quits.
TEST(DialogsTest, ChatsShowWholeInBoundedWindowsWhateverThePeerSends) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    const int threads = Threads();

    // More of a chat shows in its window; once that window was closed, in a window of its own.
    ASSERT_TRUE(SendAlone(peer, "MSG hi"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("hi", false, "Reply"); }));
    ASSERT_TRUE(SendAlone(peer, " there"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("hi there", false, "Reply"); }));
    ASSERT_TRUE(CloseChat());
    ASSERT_TRUE(SendAlone(peer, " and the rest"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows(" and the rest", false, "Reply"); }));
    ASSERT_TRUE(CloseChat());

    // Many more chats than read windows all show once and in order, the newest window taking the
    // rest, in a bounded number of windows and threads and within few descriptors. Once the newest
    // window was closed, the next chat shows again.
    std::vector<std::string> expected;
    for (int chat = 1000; chat < 1040; ++chat) {
        const std::string line = "chat " + std::to_string(chat);
        ASSERT_TRUE(SendAlone(peer, "MSG " + line));
        if (expected.size() < MainWindow::kMaxReadWindows) {
            expected.push_back(line);
        } else {
            expected.back() += "\n" + line;
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return ChatTexts() == expected; }));
    EXPECT_LE(Threads(), threads + static_cast<int>(MainWindow::kMaxReadWindows) + 8);
    const std::vector<inspect::WindowInfo> chats = ChatWindows();
    const auto newest = std::ranges::find(
        chats, expected.back(), [](const auto& window) { return window.View("Textruta")->text; });
    ASSERT_TRUE(newest != chats.end() && CloseChat(newest - chats.begin()));
    ASSERT_TRUE(SendAlone(peer, "MSG chat 1040"));
    expected.back() = "chat 1040";
    EXPECT_TRUE(WaitUntil([&] { return ChatTexts() == expected; }));

    // Floods of chats of text, then of bare line feeds, leave the newest read window with the
    // newest text alone, bounded in bytes and lines, under one line saying older text was
    // dropped; every text a read window shows on the way stays within the bounds as well.
    for (const char filler : {'w', '\n'}) {
        SCOPED_TRACE(filler == 'w' ? "text" : "line feeds");
        const std::string chat = "MSG " + std::string(protocol::kChatTextLimit, filler);
        const size_t lines = Lines(chat) - 1;
        for (size_t sent = 0; sent * chat.size() <= 5 * chat::kKeptBytes / 4 &&
                              sent * lines <= 5 * chat::kKeptLines / 4;
             ++sent)
            ASSERT_TRUE(SendAlone(peer, chat));
        const std::string last = filler == 'w' ? "the newest text" : "the newest line";
        ASSERT_TRUE(peer.Send("MSG " + last));
        size_t mostBytes = 0, mostLines = 0;
        std::optional<std::string> newest;
        ASSERT_TRUE(WaitUntil([&] {
            for (const inspect::WindowInfo& window : ChatWindows()) {
                const std::string& text = window.View("Textruta")->text;
                mostBytes = std::max(mostBytes, text.size());
                mostLines = std::max(mostLines, Lines(text));
                if (text.ends_with(last))
                    newest = text;
            }
            return newest.has_value();
        }));
        EXPECT_TRUE(newest->starts_with(chat::kDroppedNotice));
        EXPECT_LE(mostBytes, chat::kKeptBytes);
        EXPECT_LE(mostLines, chat::kKeptLines);
        EXPECT_EQ(ChatWindows().size(), MainWindow::kMaxReadWindows);
    }

    // A quit request in the middle of a flood ends the program at once, and the peer is told: far
    // more is on its way than the program could show within a deadline before it quits.
    const std::string feeds = "MSG " + std::string(protocol::kChatTextLimit, '\n');
    std::atomic<size_t> sent{0};
    std::jthread flood([&](std::stop_token stop) {  // never waits on a full socket
        for (size_t at = 0; !stop.stop_requested();) {
            pollfd writable{peer.Fd(), POLLOUT, 0};
            const ssize_t count = poll(&writable, 1, 10) != 1
                                      ? 0
                                      : send(peer.Fd(), feeds.data() + at, feeds.size() - at,
                                             MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count < 0 && errno != EAGAIN)
                return;
            at = (at + std::max<ssize_t>(count, 0)) % feeds.size();
            sent += std::max<ssize_t>(count, 0);
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return sent >= 64 * chat::kKeptBytes; }, std::chrono::seconds(60)));
    kill(getpid(), SIGTERM);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
}
