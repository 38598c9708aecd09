// The connect dialog and the chat windows, driven as a user would, against plain sockets on
// port 1777 of this test's own loopback.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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

std::string Text(const char* view) {
    return ViewOf(kMain, view).text;
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

// 'X', 'O' or ' ': the board cell's centre is red only under an X, and its ring's right edge blue
// only for an O.
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

// A peer connected to the program, which serves it.
bool Served(RawPeer& peer) {
    return peer.Connect() && peer.ReadUntil("CON\n") &&
           WaitUntil([] { return Status() == "Connected as server"; });
}

void ExpectRefused(const std::string& address) {
    SCOPED_TRACE(address.substr(0, 30));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::Type(kDialog, "test", address));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil(FailureAlertShown));
    // The connecting thread waits in the alert; the dialog is ready for another try meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return DialogShows(address, true, "Connect"); }));
    EXPECT_LT(ConnectOnce().fd, 0) << "listening restarted before the dialog closed";
    ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    EXPECT_LT(ConnectOnce().fd, 0);
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));
}

}  // namespace

TEST(DialogsTest, ConnectingMakesThisSideTheClientAndItsChatWindowsSendReadAndReply) {
    Socket listener = Listen(1777, 1);
    ASSERT_GE(listener.fd, 0);
    Program program;
    program.messenger.SendMessage(MSG_X_WON);
    program.messenger.SendMessage(MSG_O_WON);
    ASSERT_TRUE(
        WaitUntil([] { return Text("x connect") == "X: 1" && Text("o connect") == "O: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(WaitUntil([] {
        const auto dialog = inspect::FindWindow(kDialog);
        return dialog && dialog->modal && dialog->floating && dialog->View("test")->focused;
    }));
    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1"));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    Socket accepted = Accept(listener);
    ASSERT_GE(accepted.fd, 0) << "the dialog never connected";
    RawPeer peer(accepted.Release());
    listener.Close();  // so that the program can listen again once the link ends
    ASSERT_TRUE(WaitUntil(
        [] { return !inspect::FindWindow(kDialog) && Status() == "Connected as client"; }));
    EXPECT_EQ(Text("x connect"), "X: 0");
    EXPECT_EQ(Text("o connect"), "O: 0");
    ASSERT_TRUE(WaitUntil([] { return ItemEnabled("Disconnect") && ItemEnabled("Send message"); }));

    // Opened and closed while connected, the dialog leaves the link and the scores alone: the
    // chat below still goes out.
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(CloseDialog());

    // Percent signs and line feeds go as typed.
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    EXPECT_TRUE(ChatWindows()[0].View("Textruta")->focused);
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "50% of\nthe text"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    std::string expected = "MSG 50% of\nthe text";
    ASSERT_TRUE(peer.ReadUntil(expected));
    EXPECT_EQ(peer.Received(), expected);
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));
    EXPECT_EQ(Status(), "Connected as client");
    EXPECT_EQ(Text("x connect"), "X: 1");

    // A long text is cut to what one chat line carries.
    ASSERT_TRUE(inspect::TriggerMenuItem(kMain, "Send message"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", std::string(900, 'w')));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    expected += "MSG " + std::string(895, 'w');
    ASSERT_TRUE(peer.ReadUntil(expected));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().empty(); }));

    // A received text is shown read-only; Reply swaps it for an empty compose window.
    ASSERT_TRUE(peer.Send("MSG hi, 100%\nthere"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("hi, 100%\nthere", false, "Reply"); }));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows("", true, "Send"); }));

    // Sent once the link is gone: nothing goes out; the user is told, and the text stays.
    ASSERT_TRUE(peer.Send("DIS\n"));
    ASSERT_TRUE(WaitUntil(
        [] { return Status() == "Listen for connections..." && !ItemEnabled("Send message"); }));
    ASSERT_TRUE(inspect::Type(kChat, "Textruta", "too late"));
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] {
        const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
        return alerts.size() == 1 && alerts[0].title == "Quillet" &&
               alerts[0].text == "The message was not sent: no other player is connected.";
    }));
    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    // The window stays, and says so again when asked again. The main window's close box ends
    // the program while the alert waits.
    ASSERT_TRUE(inspect::PressButton(kChat, "ok"));
    ASSERT_TRUE(WaitUntil([] { return inspect::Alerts().size() == 1; }));
    EXPECT_TRUE(OneChatShows("too late", true, "Send"));
    ASSERT_TRUE(inspect::Close(kMain));
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0 && inspect::Alerts().empty(); }));
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_TRUE(peer.Received() == expected || peer.Received() == expected + "DIS\n")
        << peer.Received();
}

TEST(DialogsTest, ClosingUnusedOrAfterARefusalResetsScoresAndListensAgain) {
    Program program;
    program.messenger.SendMessage(MSG_X_WON);
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 1"; }));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(WaitUntil([] { return Text("x connect") == "X: 0"; }));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));

    // Nothing listens here; an address too long to try fails the same way.
    for (const std::string& address : {std::string("127.0.0.1"), std::string(150, '7')})
        ASSERT_NO_FATAL_FAILURE(ExpectRefused(address));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(peer.ReadUntil("CON\n"));
    ASSERT_TRUE(WaitUntil([] { return Status() == "Connected as server"; }));
}

TEST(DialogsTest, CancelStopsAnAttemptThatHangsAndTheDialogIsReadyAgain) {
    auto full = std::make_unique<FullListener>();
    ASSERT_TRUE(full->full);
    Program program;

    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1"));
    // Twice: each Cancel leaves the dialog ready for another try.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
        ASSERT_TRUE(WaitUntil([] { return DialogShows("Connecting...", false, "Cancel"); }));
        ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; }));
        ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
        ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 0; })) << "the attempt went on";
        ASSERT_TRUE(WaitUntil([] { return DialogShows("127.0.0.1", true, "Connect"); }));
        EXPECT_TRUE(inspect::Alerts().empty());
        EXPECT_NE(Status(), "Connected as client");
    }

    // Every restart of listening (each Cancel, then closing the dialog) must leave exactly one
    // listener, owned by the link.
    full.reset();
    ASSERT_TRUE(CloseDialog());
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    EXPECT_TRUE(peer.ReadUntil("CON\n")) << "got \"" << peer.Received() << "\"";
    EXPECT_TRUE(WaitUntil([] { return Status() == "Connected as server"; }));
}

// A quit request while "Connecting..." to a host that never answers ends the attempt and the
// program at once.
TEST(DialogsTest, QuittingWhileConnectingEndsTheAttempt) {
    const FullListener full;
    ASSERT_TRUE(full.full);
    Program program;
    ASSERT_TRUE(OpenDialog() && inspect::Type(kDialog, "test", "127.0.0.1") &&
                inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; }));
    kill(getpid(), SIGTERM);
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    EXPECT_TRUE(WaitUntil([] { return ConnectsInFlight() == 0; })) << "the attempt went on";
}

TEST(DialogsTest, AFailedReconnectOutOfALiveGameLeavesAPlayableLocalBoard) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.ReadUntil("CON\n"));
    ASSERT_TRUE(
        WaitUntil([] { return Status() == "Connected as server" && ItemEnabled("Disconnect"); }));
    ASSERT_TRUE(peer.Send("PUT 8 8\n"));
    ASSERT_TRUE(WaitUntil([] { return Cell(8, 8) == 'X'; }));

    // Nothing listens on 127.0.0.1 once this side stops listening to connect.
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(inspect::Type(kDialog, "test", "127.0.0.1"));
    ASSERT_TRUE(inspect::PressButton(kDialog, "ok"));
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    // The game is over at once: an empty board, nothing to disconnect or to chat with.
    ASSERT_TRUE(WaitUntil([] {
        return Cell(8, 8) == ' ' && !ItemEnabled("Disconnect") && !ItemEnabled("Send message");
    }));
    ASSERT_TRUE(WaitUntil(FailureAlertShown));
    ASSERT_TRUE(WaitUntil([] { return DialogShows("127.0.0.1", true, "Connect"); }));
    ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
    ASSERT_TRUE(CloseDialog());
    ASSERT_TRUE(WaitUntil([] { return Status() == "Listen for connections..."; }));

    // A local game with X to move.
    ASSERT_TRUE(ClickCell(3, 3) && WaitUntil([] { return Cell(3, 3) == 'X'; }));
    ASSERT_TRUE(ClickCell(4, 4) && WaitUntil([] { return Cell(4, 4) == 'O'; }));
    EXPECT_FALSE(inspect::TriggerMenuItem(kMain, "Disconnect"));
}

namespace {

// The chats numbered in the texts of the chat windows, each window's in order, windows ordered
// by their first chat.
std::vector<int> ChatNumbersShown() {
    std::vector<std::vector<int>> windows;
    for (const inspect::WindowInfo& window : ChatWindows()) {
        std::vector<int> numbers;
        const std::string& text = window.View("Textruta")->text;
        for (size_t at = text.find("chat "); at != std::string::npos;
             at = text.find("chat ", at + 1))
            numbers.push_back(std::stoi(text.substr(at + 5, 4)));
        windows.push_back(std::move(numbers));
    }
    std::sort(windows.begin(), windows.end());
    std::vector<int> all;
    for (const std::vector<int>& numbers : windows)
        all.insert(all.end(), numbers.begin(), numbers.end());
    return all;
}

int Threads() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

}  // namespace

// Many more chat lines than read windows, each in a read of its own, all show once and in order in
// a bounded number of windows and threads, and within few descriptors.
TEST(DialogsTest, AFloodOfChatsShowsInBoundedWindows) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    const int threads = Threads();
    constexpr int kChats = 100;
    char line[16];
    for (int chat = 0; chat < kChats; ++chat) {
        std::snprintf(line, sizeof line, "MSG chat %04d", chat);
        ASSERT_TRUE(peer.Send(line) && WaitUntil([] { return BytesQueued() == 0; }));
    }
    std::vector<int> expected(kChats);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_TRUE(
        WaitUntil([&] { return ChatNumbersShown() == expected; }, std::chrono::seconds(30)));
    EXPECT_EQ(ChatWindows().size(), MainWindow::kMaxReadWindows);
    // A thread per window, and a few of the GUI's own.
    EXPECT_LE(Threads(), threads + static_cast<int>(MainWindow::kMaxReadWindows) + 8);
}

namespace {

// A chat line of a flood: as much text as a chat holds, of words or of line feeds.
std::string FloodChat(char filler) {
    return "MSG " + std::string(protocol::kChatTextLimit, filler);
}

// The text of the read window that shows the newest chat: the one whose text ends with last.
std::optional<std::string> TextEndingWith(const std::string& last) {
    for (const inspect::WindowInfo& window : ChatWindows()) {
        const std::string& text = window.View("Textruta")->text;
        if (text.ends_with(last))
            return text;
    }
    return std::nullopt;
}

size_t Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n') + 1;
}

// Sends record over and over from a thread of its own, never waiting on a full socket, until
// stopped, the connection breaks, or kLimit bytes went out.
class Flood {
public:
    static constexpr size_t kLimit = size_t{1} << 30;

    Flood(int socket, std::string record)
        : fThread([this, socket, record = std::move(record)] {
              for (size_t at = 0; !fStop && fSent < kLimit;) {
                  pollfd writable{socket, POLLOUT, 0};
                  if (poll(&writable, 1, 10) != 1)
                      continue;
                  const ssize_t count = send(socket, record.data() + at, record.size() - at,
                                             MSG_NOSIGNAL | MSG_DONTWAIT);
                  if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                      return;
                  if (count > 0) {
                      at = (at + count) % record.size();
                      fSent += count;
                  }
              }
          }) {}
    ~Flood() {
        fStop = true;
        fThread.join();
    }
    size_t Sent() const { return fSent; }

private:
    std::atomic<bool> fStop{false};
    std::atomic<size_t> fSent{0};
    std::thread fThread;  // last: it starts once the counters are made
};

// Megabytes of chats, of text or of bare line feeds, leave the newest read window with the newest
// text alone, bounded in bytes and lines, under one line saying that older text was dropped.
void FloodKeepsTheNewestTextBounded(char filler) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    // Each chat in a read of its own: a read that starts inside a chat would be taken as more of
    // the chat before it. Once every read window is open, the newest takes the rest, until past
    // one of its bounds.
    const std::string chat = FloodChat(filler);
    const size_t linesInChat = Lines(chat) - 1;
    for (size_t chats = 0;; ++chats) {
        const size_t more = chats - std::min(chats, MainWindow::kMaxReadWindows);
        if (more * chat.size() > 5 * chat::kKeptBytes / 4 ||
            more * linesInChat > 5 * chat::kKeptLines / 4)
            break;
        ASSERT_TRUE(peer.Send(chat));
        ASSERT_TRUE(WaitUntil([] { return BytesQueued() == 0; }));
    }
    ASSERT_TRUE(peer.Send("MSG the newest chat"));
    // Every text a read window shows on the way stays within the bounds as well.
    size_t mostBytes = 0, mostLines = 0;
    std::optional<std::string> newest;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const inspect::WindowInfo& window : ChatWindows()) {
                const std::string& text = window.View("Textruta")->text;
                mostBytes = std::max(mostBytes, text.size());
                mostLines = std::max(mostLines, Lines(text));
            }
            newest = TextEndingWith("the newest chat");
            return newest.has_value();
        },
        std::chrono::seconds(20)));
    EXPECT_TRUE(newest->starts_with(chat::kDroppedNotice));
    EXPECT_LE(mostBytes, chat::kKeptBytes);
    EXPECT_LE(mostLines, chat::kKeptLines);
    EXPECT_EQ(ChatWindows().size(), MainWindow::kMaxReadWindows);
    program.Quit();
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
}

// A quit request in the middle of a flood ends the program at once, and the peer is told.
void QuittingDuringAFloodTellsThePeer(char filler) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    Flood flood(peer.Fd(), FloodChat(filler));
    // Far more than the program keeps, and more than it could work off within a deadline if it
    // had to show every chat before it quits.
    ASSERT_TRUE(
        WaitUntil([&] { return flood.Sent() >= 64 * chat::kKeptBytes; }, std::chrono::seconds(60)));
    kill(getpid(), SIGTERM);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");
    EXPECT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
}

}  // namespace

TEST(DialogsTest, AFloodOfTextChatsKeepsTheNewestTextBounded) {
    FloodKeepsTheNewestTextBounded('w');
}

TEST(DialogsTest, AFloodOfLineFeedChatsKeepsTheNewestTextBounded) {
    FloodKeepsTheNewestTextBounded('\n');
}

TEST(DialogsTest, QuittingDuringAFloodOfTextChatsTellsThePeer) {
    QuittingDuringAFloodTellsThePeer('w');
}

TEST(DialogsTest, QuittingDuringAFloodOfLineFeedChatsTellsThePeer) {
    QuittingDuringAFloodTellsThePeer('\n');
}

// A long chat whose bytes come in two reads is one chat, though its tail looks like a move and
// an end.
TEST(DialogsTest, AChatSplitAcrossTwoReadsIsOneChat) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    const std::string head(500, 'h');
    std::string tail = "\nPUT 6 9\n\nDIS\n";
    tail += std::string(protocol::kChatTextLimit - head.size() - tail.size(), 't');
    ASSERT_TRUE(peer.Send("MSG " + head));
    ASSERT_TRUE(WaitUntil([&] { return OneChatShows(head, false, "Reply"); }));
    ASSERT_TRUE(peer.Send(tail));
    ASSERT_TRUE(WaitUntil([&] { return OneChatShows(head + tail, false, "Reply"); }));
    // Neither the board nor the link took the tail for theirs.
    ASSERT_TRUE(peer.Send("PUT 1 1\n"));
    ASSERT_TRUE(WaitUntil([] { return Cell(1, 1) == 'X'; }));
    EXPECT_EQ(Cell(6, 9), ' ');
    EXPECT_EQ(Status(), "Connected as server");
}

// Chats whose window the user closed still show: the rest of a chat in a window of its own, and
// the next chat after the newest of a full set of read windows was closed.
TEST(DialogsTest, ChatsShowAfterTheirWindowWasClosed) {
    Program program;
    RawPeer peer;
    ASSERT_TRUE(Served(peer));
    ASSERT_TRUE(peer.Send("MSG " + std::string(500, 'h')));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows(std::string(500, 'h'), false, "Reply"); }));
    ASSERT_TRUE(inspect::Close(kChat) && WaitUntil([] { return ChatWindows().empty(); }));
    ASSERT_TRUE(WaitUntil([] { return BytesQueued() == 0; }));
    ASSERT_TRUE(peer.Send(" and the rest"));
    ASSERT_TRUE(WaitUntil([] { return OneChatShows(" and the rest", false, "Reply"); }));
    ASSERT_TRUE(inspect::Close(kChat) && WaitUntil([] { return ChatWindows().empty(); }));

    char line[16];
    for (size_t chat = 0; chat < MainWindow::kMaxReadWindows; ++chat) {
        std::snprintf(line, sizeof line, "MSG chat %04zu", chat);
        ASSERT_TRUE(peer.Send(line) && WaitUntil([] { return BytesQueued() == 0; }));
    }
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().size() == MainWindow::kMaxReadWindows; }));
    const std::vector<inspect::WindowInfo> chats = ChatWindows();
    const auto newest = std::ranges::find(
        chats, "chat 0015", [](const inspect::WindowInfo& w) { return w.View("Textruta")->text; });
    ASSERT_NE(newest, chats.end());
    ASSERT_TRUE(inspect::Close(kChat, newest - chats.begin()));
    ASSERT_TRUE(WaitUntil([] { return ChatWindows().size() == MainWindow::kMaxReadWindows - 1; }));
    ASSERT_TRUE(peer.Send("MSG chat 0016"));
    std::vector<int> shown(MainWindow::kMaxReadWindows + 1);
    std::iota(shown.begin(), shown.end(), 0);
    shown.erase(shown.begin() + 15);
    EXPECT_TRUE(WaitUntil([&] { return ChatNumbersShown() == shown; }));
}

// Keys in the connect dialog and the compose window, each case in a window of its own, opened
// fresh. Nothing listens here, so a connect attempt ends in the failure alert, and without a link
// a chat that goes out ends in the alert that says it was not sent.
TEST(DialogsTest, KeysOfTheConnectDialogAndTheComposeWindow) {
    Program program;
    auto chatShows = [](const char* text, const char* focused) {
        std::vector<inspect::WindowInfo> chats = ChatWindows();
        return chats.size() == 1 && chats[0].View("Textruta")->text == text &&
               chats[0].View(focused)->focused;
    };
    struct Case {
        const char* what;
        const char* window;
        const char* typed;
        std::vector<std::pair<char, uint32>> keys;
        std::function<bool()> outcome;
    };
    const Case cases[] = {
        {"Enter in the address connects", kDialog, "127.0.0.1", {{B_ENTER, 0}}, FailureAlertShown},
        {"Escape closes the dialog",
         kDialog,
         "",
         {{B_ESCAPE, 0}},
         [] { return !inspect::FindWindow(kDialog) && Status() == "Listen for connections..."; }},
        {"Enter types a line feed",
         kChat,
         "a",
         {{B_ENTER, 0}},
         [=] { return chatShows("a\n", "Textruta"); }},
        {"Tab moves on to Send", kChat, "a", {{B_TAB, 0}}, [=] { return chatShows("a", "ok"); }},
        {"Ctrl+Tab types a tab",
         kChat,
         "a",
         {{B_TAB, B_CONTROL_KEY}},
         [=] { return chatShows("a\t", "Textruta"); }},
        {"Ctrl+Enter sends",
         kChat,
         "a",
         {{B_ENTER, B_CONTROL_KEY}},
         [] {
             const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
             return alerts.size() == 1 &&
                    alerts[0].text == "The message was not sent: no other player is connected.";
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        if (test.window == kDialog) {
            ASSERT_TRUE(OpenDialog());
        } else {
            ASSERT_EQ(program.messenger.SendMessage(MSG_SEND_MESSAGE), B_OK);
            ASSERT_TRUE(WaitUntil([] { return ChatWindows().size() == 1; }));
        }
        const char* field = test.window == kDialog ? "test" : "Textruta";
        ASSERT_TRUE(
            WaitUntil([&] { return inspect::FindWindow(test.window)->View(field)->focused; }));
        ASSERT_TRUE(inspect::Type(test.window, field, test.typed));
        for (const auto& [key, modifiers] : test.keys)
            ASSERT_TRUE(inspect::PressKey(test.window, key, modifiers));
        EXPECT_TRUE(WaitUntil(test.outcome));
        for (const inspect::AlertInfo& alert : inspect::Alerts())
            inspect::PressAlertButton(alert.title, "OK");
        inspect::Close(test.window);
        ASSERT_TRUE(WaitUntil([&] {
            return be_app->CountWindows() == 1 && !inspect::FindWindow(test.window) &&
                   inspect::Alerts().empty();
        }));
    }
}
