#include "net/NetView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/Constants.h"
#include "kit/application/Looper.h"
#include "kit/qt/Inspect.h"
#include "tests/RawPeer.h"
#include "tests/Sockets.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;
using Strings = std::vector<std::string>;

namespace {

constexpr uint32 kMarker = 777001;
constexpr auto kSlow = std::chrono::seconds(20);

struct Report {
    std::string to;
    uint32 what;
    std::string par1, par2, msg;
    int32 linkState;  // when it was handled
};

// Every report of the link, in the order each looper handled them.
struct Log {
    std::mutex mutex;  // guards reports and link
    std::vector<Report> reports;
    const NetView* link = nullptr;
    std::atomic<int32> markers{0};

    std::vector<Report> Of(const std::string& to, uint32 what) {
        std::lock_guard lock(mutex);
        std::vector<Report> found;
        for (const Report& report : reports)
            if (report.to == to && report.what == what)
                found.push_back(report);
        return found;
    }
    // "to what" for the given codes: the board and the main window share one queue, as in the
    // program, so their joint order is the order the link posted in.
    Strings Trace(std::initializer_list<uint32> codes, bool ofDialog = false) {
        std::lock_guard lock(mutex);
        Strings trace;
        for (const Report& report : reports) {
            if ((report.to == "dialog") == ofDialog && std::ranges::count(codes, report.what) > 0)
                trace.push_back(report.to + " " + std::to_string(report.what));
        }
        return trace;
    }
};

class Recipient : public BHandler {
public:
    Recipient(const char* name, Log& log) : BHandler(name), fLog(log) {}

    void MessageReceived(BMessage* message) override {
        if (message->what == kMarker) {
            ++fLog.markers;
            return;
        }
        std::lock_guard lock(fLog.mutex);
        Report report{Name(), message->what, {}, {}, {}, 0};
        message->FindString(FIELD_PAR1, &report.par1);
        message->FindString(FIELD_PAR2, &report.par2);
        message->FindString(FIELD_MSG, &report.msg);
        if (fLog.link != nullptr)
            report.linkState = fLog.link->linkState;
        fLog.reports.push_back(std::move(report));
    }

private:
    Log& fLog;
};

// The listen loop reads the server link, so whether one runs shows whether a reader goes on.
int ListenLoops() {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        count += name == "Listen loop";
    }
    return count;
}

// Set once the thread has ended. (Name look-up helpers share the Message loop's thread name.)
std::shared_ptr<std::atomic<bool>> Ended(thread_id thread) {
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread([=] {
        wait_for_thread(thread, nullptr);
        *ended = true;
    }).detach();
    return ended;
}

class NetViewTest : public testing::Test {
protected:
    void SetUp() override {
        window->AddHandler(&board);
        window->AddHandler(&main);
        window->Run();
        dialogWindow->AddHandler(&dialog);
        dialogWindow->Run();
        MakeLink();
    }
    void TearDown() override {
        DestroyLink();
        window->Quit();
        dialogWindow->Quit();
    }

    void MakeLink() {
        link = std::make_unique<NetView>(std::make_unique<BMessenger>(&board, window),
                                         std::make_unique<BMessenger>(&main, window));
        std::lock_guard lock(log.mutex);
        log.link = link.get();
    }
    // Reports may still be handled while the link goes: they no longer read its state.
    void DestroyLink() {
        {
            std::lock_guard lock(log.mutex);
            log.link = nullptr;
        }
        link.reset();
    }
    size_t Count(const std::string& to, uint32 what) { return log.Of(to, what).size(); }
    bool WaitFor(const std::string& to, uint32 what, size_t count = 1) {
        return WaitUntil([&] { return Count(to, what) >= count; }, kSlow);
    }
    // Everything posted to the loopers so far has been handled.
    bool Sync() {
        const BMessage marker(kMarker);
        const int32 target = log.markers + 2;
        window->PostMessage(&marker, &main);
        dialogWindow->PostMessage(&marker, &dialog);
        return WaitUntil([&] { return log.markers >= target; });
    }
    Strings DialogTrace() {
        return log.Trace({LINK_NOT_CONNECTED, MSG_NET_GAME_START, MSG_NET_GAME_END}, true);
    }
    // What the connect dialog does for its button.
    std::shared_ptr<std::atomic<bool>> StartAttempt(const std::string& address) {
        link->DisConnect(true, false);
        link->DisListen(true, false);
        link->dialogMessenger = std::make_unique<BMessenger>(&dialog, dialogWindow);
        link->SetAddress(address.c_str());
        const thread_id thread = link->SpawnMessageLoop();
        resume_thread(thread);
        return Ended(thread);
    }
    // The attempt fails as a refused connection does: the dialog hears of it, and the Message
    // loop shows the alert (its text is DialogsTest's), waits until it is pressed, then ends.
    void ExpectRefused(const std::string& address, const Strings& dialogSees) {
        SCOPED_TRACE(address);
        const size_t earlier = DialogTrace().size();
        const auto ended = StartAttempt(address);
        ASSERT_TRUE(WaitUntil([] { return !inspect::Alerts().empty(); }, kSlow)) << "no alert";
        EXPECT_FALSE(*ended) << "the Message loop did not wait in the alert";
        ASSERT_TRUE(WaitUntil([&] { return DialogTrace().size() >= earlier + dialogSees.size(); }));
        const Strings trace = DialogTrace();
        EXPECT_EQ(Strings(trace.begin() + earlier, trace.end()), dialogSees);
        ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
        EXPECT_TRUE(WaitUntil([&] { return ended->load(); })) << "the Message loop did not end";
        EXPECT_TRUE(WaitUntil([] { return inspect::Alerts().empty(); }));
    }

    Log log;
    Recipient board{"board", log};
    Recipient main{"main", log};
    Recipient dialog{"dialog", log};
    BLooper* window = new BLooper("main window");
    BLooper* dialogWindow = new BLooper("connect dialog");
    std::unique_ptr<NetView> link;
};

}  // namespace

TEST_F(NetViewTest, ServesAPeerItsMovesChatAndGoodbyeThenListensAgain) {
    ASSERT_TRUE(WaitFor("main", LINK_LISTENING));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_EQ(peer.Line(), "CON");
    ASSERT_TRUE(WaitFor("main", MSG_LINK_UP));
    EXPECT_EQ(log.Trace({LINK_LISTENING, MSG_NET_GAME_START, LINK_SERVER, MSG_LINK_UP}),
              (Strings{"main 4004", "board 3011", "main 4002", "main 6002"}));

    // Each send waits for its report: a chat has no line feed and takes the rest of its chunk.
    ASSERT_TRUE(peer.Send("PUT 8 3\n"));
    ASSERT_TRUE(WaitFor("board", MSG_NET_PUT));
    ASSERT_TRUE(peer.Send("MSG hi"));
    ASSERT_TRUE(WaitFor("main", MSG_CHAT_RECEIVED));
    EXPECT_EQ(log.Of("main", MSG_CHAT_RECEIVED).front().msg, "hi");
    ASSERT_TRUE(peer.Send("PUT 1 2\nPUT 14 10\n"));
    ASSERT_TRUE(WaitFor("board", MSG_NET_PUT, 3));
    Strings moves;
    for (const Report& move : log.Of("board", MSG_NET_PUT))
        moves.push_back(move.par1 + "|" + move.par2);
    EXPECT_EQ(moves, (Strings{"8|3\n", "1|2\n", "14|10\n"}));

    ASSERT_TRUE(peer.Send("DIS\n"));
    ASSERT_TRUE(WaitFor("main", MSG_LINK_DOWN));
    EXPECT_TRUE(WaitUntil([] { return ListenLoops() == 0; })) << "the reader did not end";
    EXPECT_EQ(log.Trace({MSG_NET_GAME_END, MSG_LINK_DOWN}), (Strings{"board 3012", "main 6003"}));
    // What the board does at the end of a game; a send in between has no link to go on.
    link->DisConnect(true, false);
    link->SendMessage("MSG late");
    link->DisListen(true, true);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");

    // Port 1777 listens again at once. A peer that closes (after a move) or resets is gone as if
    // it had said "DIS"; once the reader has ended no report follows, where a spinning reader
    // would repeat its own.
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        const size_t ups = Count("main", MSG_LINK_UP), downs = Count("main", MSG_LINK_DOWN);
        RawPeer next;
        ASSERT_TRUE(next.Connect());
        ASSERT_TRUE(WaitFor("main", MSG_LINK_UP, ups + 1));
        if (reset) {
            next.Reset();
        } else {
            ASSERT_TRUE(next.Send("PUT 2 2\n"));
            next.Close();
        }
        ASSERT_TRUE(WaitFor("main", MSG_LINK_DOWN, downs + 1));
        ASSERT_TRUE(WaitUntil([] { return ListenLoops() == 0; })) << "the reader did not end";
        link->DisConnect(true, false);
        link->DisListen(true, true);
    }
    ASSERT_TRUE(Sync());
    EXPECT_EQ(log.Trace({MSG_NET_PUT, MSG_NET_GAME_END, MSG_LINK_DOWN}),
              (Strings{"board 3001", "board 3001", "board 3001", "board 3012", "main 6003",
                       "board 3001", "board 3012", "main 6003", "board 3012", "main 6003"}));
}

TEST_F(NetViewTest, ConnectsToAListeningPeerAndRefusesWithAnAlertOtherwise) {
    ASSERT_TRUE(WaitFor("main", LINK_LISTENING));
    link->DisListen(true, false);
    Socket server = Listen();
    ASSERT_GE(server.fd, 0) << "port 1777 still held after DisListen: " << strerror(errno);

    const auto ended = StartAttempt("127.0.0.1");
    RawPeer host(Accept(server, kSlow).Release());
    ASSERT_TRUE(host.Send("CON\nPUT 1 2\n")) << "no connect";
    ASSERT_TRUE(WaitFor("dialog", MSG_NET_GAME_START));
    EXPECT_EQ(DialogTrace(), (Strings{"dialog 4001", "dialog 3011"}));
    EXPECT_EQ(log.Of("dialog", MSG_NET_GAME_START).front().linkState, LINK_CLIENT);
    ASSERT_TRUE(WaitFor("main", MSG_LINK_UP));
    EXPECT_EQ(log.Trace({MSG_NET_GAME_START, LINK_CLIENT, MSG_LINK_UP}),
              (Strings{"board 3011", "main 4003", "main 6002"}));
    ASSERT_TRUE(WaitFor("board", MSG_NET_PUT));
    EXPECT_EQ(log.Of("board", MSG_NET_PUT).front().par2, "2\n");

    link->SendMessage("PUT 3 12\n");
    link->DisConnect(true, false);
    EXPECT_TRUE(WaitUntil([&] { return ended->load(); })) << "the Message loop did not end";
    ASSERT_TRUE(host.ReadUntilClosed());
    EXPECT_EQ(host.Received(), "PUT 3 12\nDIS\n");

    // 150 bytes; cut to 99 they would read as 127.0.0.1 (an octal 0...01), where the listener
    // waits.
    ExpectRefused("127.0.0." + std::string(90, '0') + std::string(52, '1'), {"dialog 3012"});
    EXPECT_FALSE(Readable(server.fd)) << "a too long address was cut and connected";
    // The name look-up may only go out where the namespace has no other network.
    if (InOwnNamespace())
        ExpectRefused("no-such-host.invalid", {"dialog 3012"});
    server.Close();
    ExpectRefused("127.0.0.1", {"dialog 4001", "dialog 3012"});
}

TEST_F(NetViewTest, DisConnectStopsAnAttemptThatNeverAnswers) {
    ASSERT_TRUE(WaitFor("main", LINK_LISTENING));
    link->DisListen(true, false);
    auto full = std::make_unique<FullListener>();
    ASSERT_TRUE(full->full) << "queue not full: " << strerror(errno);
    const auto ended = StartAttempt("127.0.0.1");
    ASSERT_TRUE(WaitFor("dialog", LINK_NOT_CONNECTED));
    ASSERT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; })) << "no hanging connect";

    const auto start = std::chrono::steady_clock::now();
    link->DisConnect(true, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "hang";
    EXPECT_TRUE(WaitUntil([&] { return ended->load(); })) << "the Message loop did not end";
    ASSERT_TRUE(Sync());
    EXPECT_EQ(DialogTrace(), Strings{"dialog 4001"});
    EXPECT_TRUE(WaitUntil([] { return ConnectsInFlight() == 0; })) << "attempt not given up";

    // The listen loop restarted above may have found the port taken: start it anew.
    full.reset();
    const size_t listening = Count("main", LINK_LISTENING);
    link->DisListen(true, true);
    ASSERT_TRUE(WaitFor("main", LINK_LISTENING, listening + 1));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    EXPECT_EQ(peer.Line(), "CON");
}

TEST_F(NetViewTest, MovesAndChatsFromTwoThreadsArriveWholeAndQuittingSaysDis) {
    constexpr int kMoves = 200, kChats = 20;
    const std::string chat = "MSG " + std::string(800, 'a');
    auto move = [](int i) {
        return "PUT " + std::to_string(i % 15) + " " + std::to_string(i / 15 % 15) + "\n";
    };
    size_t total = 4 + kChats * chat.size();
    for (int i = 0; i < kMoves; ++i)
        total += move(i).size();

    ASSERT_TRUE(WaitFor("main", LINK_LISTENING));
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    ASSERT_TRUE(WaitFor("main", MSG_LINK_UP));
    std::atomic<bool> go{false};
    auto sender = [&](int count, auto text) {
        return std::thread([&, count, text] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < count; ++i)
                link->SendMessage(text(i).c_str());
        });
    };
    std::thread mover = sender(kMoves, move);
    std::thread chatter = sender(kChats, [&](int) { return chat; });
    go = true;
    const bool received = peer.ReadAtLeast(total);
    mover.join();
    chatter.join();
    ASSERT_TRUE(received) << peer.Received().size() << " of " << total << " bytes";

    // Quitting tells the connected peer.
    DestroyLink();
    ASSERT_TRUE(peer.ReadUntilClosed());
    std::string_view rest(peer.Received());
    ASSERT_TRUE(rest.starts_with("CON\n") && rest.ends_with("DIS\n"));
    int moves = 0, chats = 0;
    for (rest = rest.substr(4, rest.size() - 8); !rest.empty();) {
        const std::string next = rest.starts_with(chat) ? chat : move(moves);
        ASSERT_TRUE(rest.starts_with(next))
            << "torn after " << moves << " moves and " << chats << " chats: " << rest.substr(0, 40);
        rest.remove_prefix(next.size());
        ++(next == chat ? chats : moves);
    }
    EXPECT_EQ(moves, kMoves);
    EXPECT_EQ(chats, kChats);
    ASSERT_TRUE(Sync());
    EXPECT_EQ(Count("main", MSG_RESET_SCORE), 1u);

    // Quitting while listening sends nothing and gives the port back.
    MakeLink();
    ASSERT_TRUE(WaitFor("main", LINK_LISTENING, 2));
    EXPECT_TRUE(link->LoopMessages(-5));
    EXPECT_TRUE(link->LoopMessages(USE_CLIENT_SOCKET));
    link->SendMessage("PUT 1 1\n");
    DestroyLink();
    ASSERT_TRUE(Sync());
    EXPECT_EQ(Count("main", MSG_RESET_SCORE), 2u);
    EXPECT_EQ(Count("board", MSG_NET_GAME_START), 1u);
    const Socket late = ConnectOnce();
    EXPECT_LT(late.fd, 0) << "port 1777 still listening";
    EXPECT_EQ(errno, ECONNREFUSED);
}
