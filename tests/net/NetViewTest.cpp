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
#include <numeric>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kit/application/Looper.h"
#include "kit/qt/Inspect.h"
#include "messages/Messages.h"
#include "net/Protocol.h"
#include "tests/RawPeer.h"
#include "tests/Sockets.h"

using namespace testing_support;
namespace inspect = kit::qt::inspect;
using Strings = std::vector<std::string>;

namespace {

constexpr auto kSlow = std::chrono::seconds(20);

// The listen loop reads the server link, so whether one runs shows whether a reader goes on.
int ListenLoops() {
    return std::ranges::count_if(std::filesystem::directory_iterator("/proc/self/task"),
                                 [](const std::filesystem::directory_entry& task) {
                                     std::string name;
                                     std::getline(std::ifstream(task.path() / "comm"), name);
                                     return name == "Listen loop";
                                 });
}

// This process's end of the connection whose other end is peer (of either family).
int OtherEnd(int peer) {
    sockaddr_in own{}, other{};
    socklen_t length = sizeof own;
    getsockname(peer, reinterpret_cast<sockaddr*>(&own), &length);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename());
        length = sizeof other;
        if (fd != peer && getpeername(fd, reinterpret_cast<sockaddr*>(&other), &length) == 0 &&
            other.sin_port == own.sin_port)
            return fd;
    }
    return -1;
}

// Whether a socket of the link probes a peer that went silent: after 30 s, every 10 s, 3 times.
bool KeepsAlive(int socket) {
    int on = 0, idle = 0, interval = 0, probes = 0;
    socklen_t length = sizeof on;
    getsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, &length);
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length);
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &length);
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, &length);
    return on && idle == 30 && interval == 10 && probes == 3;
}

// Small buffers on both ends, so that what a peer leaves unread waits in the link.
void ShrinkBuffers(int peer, int size) {
    setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(OtherEnd(peer), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

class NetViewTest : public testing::Test {
protected:
    // Records a report as "to:what", its fields, a start's link state then and the link it names.
    struct Recipient : BHandler {
        Recipient(const char* name, NetViewTest& test) : BHandler(name), test(test) {}
        void MessageReceived(BMessage* message) override {
            std::string report = std::string(Name()) + ":" + std::to_string(message->what), field;
            for (const char* name : {FIELD_PAR1, FIELD_PAR2, FIELD_MSG})
                if (message->FindString(name, &field) == B_OK)
                    report += " " + field;
            int32 count = 0;
            if (message->FindInt32(FIELD_COUNT, &count) == B_OK)
                report += " " + std::to_string(count);
            std::lock_guard lock(test.mutex);
            if (message->what == MSG_NET_GAME_START && test.link)
                report += "@" + std::to_string(test.link->linkState);
            if (message->FindInt32(FIELD_LINK, &count) == B_OK)
                report += " #" + std::to_string(count);
            test.reports.push_back(report);
        }
        NetViewTest& test;
    };

    void SetUp() override {
        for (BHandler* handler : {&board, &main, &dialog})
            looper->AddHandler(handler);
        looper->Run();
        auto made = std::make_unique<NetView>(std::make_unique<BMessenger>(&board, looper),
                                              std::make_unique<BMessenger>(&main, looper),
                                              [this](NetView::RacePoint point) { HoldAt(point); });
        std::lock_guard lock(mutex);
        link = std::move(made);
    }
    void TearDown() override {
        DestroyLink();
        looper->Quit();
    }
    // Destroyed unlocked: reports handled meanwhile no longer read its state.
    void DestroyLink() {
        std::unique_lock lock(mutex);
        const std::unique_ptr<NetView> gone = std::move(link);
        lock.unlock();
    }
    // The reports so far that start with one of prefixes.
    Strings Seen(std::initializer_list<std::string_view> prefixes) {
        std::lock_guard lock(mutex);
        Strings seen;
        for (const std::string& report : reports)
            if (std::ranges::any_of(prefixes, [&](auto p) { return report.starts_with(p); }))
                seen.push_back(report);
        return seen;
    }
    bool WaitFor(std::string_view prefix, size_t count = 1) {
        return WaitUntil([&] { return Seen({prefix}).size() >= count; }, kSlow);
    }
    // Everything posted to the looper so far has been handled.
    bool Sync() {
        const size_t count = Seen({"main:0"}).size();
        BMessenger(&main, looper).SendMessage(uint32(0));
        return WaitFor("main:0", count + 1);
    }
    // Stops listening and listens on port 1777 of host instead, as a peer would.
    Socket Serve(const char* host = "127.0.0.1") {
        EXPECT_TRUE(WaitFor("main:4004"));
        link->DisListen(true, false);
        Socket server = Listen(NET_PORT, 4, host);
        EXPECT_GE(server.fd, 0) << "port 1777 still held after DisListen: " << strerror(errno);
        return server;
    }
    // What the connect dialog does for its button; the flag is set once the Message loop ended.
    std::shared_ptr<std::atomic<bool>> StartAttempt(const std::string& address) {
        link->DisConnect(true, false);
        link->DisListen(true, false);
        link->dialogMessenger = std::make_unique<BMessenger>(&dialog, looper);
        link->SetAddress(address.c_str());
        const thread_id thread = link->SpawnMessageLoop();
        resume_thread(thread);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        std::thread([=] {
            wait_for_thread(thread, nullptr);
            *ended = true;
        }).detach();
        return ended;
    }
    // The attempt fails: the dialog hears of it, and the Message loop waits in the alert.
    void ExpectRefused(const std::string& address, const Strings& dialogSees) {
        SCOPED_TRACE(address);
        const size_t earlier = Seen({"dialog:"}).size();
        const auto ended = StartAttempt(address);
        ASSERT_TRUE(WaitUntil([] { return !inspect::Alerts().empty(); }, kSlow)) << "no alert";
        EXPECT_FALSE(*ended) << "the Message loop did not wait in the alert";
        ASSERT_TRUE(WaitFor("dialog:", earlier + dialogSees.size()));
        const Strings trace = Seen({"dialog:"});
        EXPECT_EQ(Strings(trace.begin() + earlier, trace.end()), dialogSees);
        ASSERT_TRUE(inspect::PressAlertButton("fel", "OK"));
        EXPECT_TRUE(WaitUntil([&] { return ended->load(); })) << "the Message loop did not end";
    }
    // The link's thread that reaches holdPoint waits there until it is stopped or let go.
    void HoldAt(NetView::RacePoint point) {
        if (holdPoint != static_cast<int>(point))
            return;
        held = true;
        const auto deadline = std::chrono::steady_clock::now() + kSlow;
        while (!kit::StopRequested() && !letGo && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void HoldNextAt(NetView::RacePoint point) { holdPoint = static_cast<int>(point); }
    // Waits until a thread is held, and holds no later one.
    bool Held() {
        const bool reached = WaitUntil([&] { return held.load(); });
        holdPoint = -1;
        return reached;
    }
    std::atomic<int> holdPoint{-1};
    std::atomic<bool> held{false}, letGo{false};

    std::mutex mutex;  // guards reports and link
    Strings reports;
    Recipient board{"board", *this}, main{"main", *this}, dialog{"dialog", *this};
    BLooper* looper = new BLooper("main window");
    std::unique_ptr<NetView> link;
};

}  // namespace

TEST_F(NetViewTest, ServesAPeerUntilGoodbyeThenListensAgainAndReportsAFailedSend) {
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && peer.Line() == "CON" && WaitFor("main:6002"));
    EXPECT_TRUE(KeepsAlive(OtherEnd(peer.Fd()))) << "the accepted socket";

    // Each send waits for its report: a chat has no line feed and takes the rest of its chunk.
    ASSERT_TRUE(peer.Send("PUT 8 3\n") && WaitFor("board:3001"));
    ASSERT_TRUE(peer.Send("MSG hi") && WaitFor("main:6001"));
    ASSERT_TRUE(peer.Send("PUT 1 2\nPUT 14 10\n") && WaitFor("board:3001", 3));

    ASSERT_TRUE(peer.Send("DIS\n") && WaitFor("main:6003"));
    EXPECT_TRUE(WaitUntil([] { return ListenLoops() == 0; })) << "the reader did not end";
    // What the board does at the end of a game; a send in between has no link to go on.
    link->DisConnect(true, false);
    link->SendMessage("MSG late");
    link->DisListen(true, true);
    ASSERT_TRUE(peer.ReadUntilClosed());
    EXPECT_EQ(peer.Received(), "CON\nDIS\n");

    // Listening again, on IPv6 too. A send the connection can no longer take is reported, so that
    // the chat window keeps its text; until the board ends the link, it is still up.
    RawPeer next;
    ASSERT_TRUE(next.Connect(NET_PORT, "::1") && WaitFor("main:6002", 2));
    EXPECT_EQ(link->SendMessage("MSG hi"), 1);
    ASSERT_TRUE(next.ReadUntil("CON\nMSG hi"));
    next.Reset();
    ASSERT_TRUE(WaitFor("main:6003", 3));
    ASSERT_TRUE(WaitUntil([] { return ListenLoops() == 0; })) << "the reader did not end";
    EXPECT_NE(link->linkState, LINK_NOT_CONNECTED);
    EXPECT_EQ(link->SendMessage("MSG lost"), -1);
    link->DisListen(true, true);
    ASSERT_TRUE(Sync());
    // The reader reports the peer gone; ending the link that was up reports it down once more.
    // Each link names itself to the board, so that the board can drop a report of an ended one.
    EXPECT_EQ(
        Seen({"board:30", "main:6001", "main:6003", "main:6006"}),
        (Strings{"board:3011@4002 #1", "board:3001 8 3\n #1", "main:6001 hi", "board:3001 1 2\n #1",
                 "board:3001 14 10\n #1", "board:3012 #1", "main:6003", "main:6003",
                 "board:3011@4002 #2", "board:3012 #2", "main:6003", "main:6003"}));
}

TEST_F(NetViewTest, ConnectsToAListeningPeerAndRefusesWithAnAlertOtherwise) {
    Socket server = Serve();
    const auto ended = StartAttempt("127.0.0.1");
    RawPeer host(Accept(server, kSlow).Release());
    ASSERT_TRUE(host.Send("CON\nPUT 1 2\n")) << "no connect";
    ASSERT_TRUE(WaitFor("main:6002") && WaitFor("board:3001"));
    EXPECT_TRUE(KeepsAlive(OtherEnd(host.Fd()))) << "the connected socket";
    EXPECT_EQ(Seen({"dialog:", "board:3011", "main:4003", "main:6002", "board:3001"}),
              (Strings{"dialog:4001", "board:3011@4003 #1", "dialog:3011@4003", "main:4003",
                       "main:6002", "board:3001 1 2\n #1"}));
    link->SendMessage("PUT 3 12\n");
    link->DisConnect(true, false);
    EXPECT_TRUE(WaitUntil([&] { return ended->load(); })) << "the Message loop did not end";
    ASSERT_TRUE(host.ReadUntilClosed());
    EXPECT_EQ(host.Received(), "PUT 3 12\nDIS\n");

    // The peer answers just as the user presses "Cancel": the link does not come up.
    HoldNextAt(NetView::RacePoint::BeforeBringUp);
    const auto cancelled = StartAttempt("127.0.0.1");
    RawPeer late(Accept(server, kSlow).Release());
    ASSERT_TRUE(Held());
    std::thread([&] { link->DisConnect(true, false); }).join();
    EXPECT_TRUE(WaitUntil([&] { return cancelled->load(); }));
    ASSERT_TRUE(late.ReadUntilClosed()) << "the connection was kept";
    ASSERT_TRUE(Sync());
    EXPECT_EQ(Seen({"dialog:3011", "main:6002"}).size(), 2u) << "a cancelled link came up";

    // 99 bytes, the most an address may have, are tried whole; one more is refused, not cut.
    const auto longest = StartAttempt("127.0.0." + std::string(90, '0') + "1");
    ASSERT_GE(Accept(server, kSlow).fd, 0) << "99 bytes were not tried";
    link->DisConnect(true, false);
    ASSERT_TRUE(WaitUntil([&] { return longest->load(); }) && Sync());
    ExpectRefused("127.0.0.0" + std::string(90, '0') + "1", {"dialog:3012"});
    EXPECT_FALSE(Readable(server.fd)) << "a too long address was cut and connected";
}

// A peer that reads nothing: no send waits for it. One that leaves more than kMaxUnsent unread is
// gone, as if it had said "DIS": every message the link took reaches it whole or is counted as not
// delivered. One less behind gets what waits when this side quits, whole and in order, "DIS" last.
TEST_F(NetViewTest, APeerTooFarBehindIsDroppedAndOneLessBehindGetsAllAtQuitting) {
    // Moves and chats of size from a thread, as a window sends them; gives those the link took.
    auto send = [&](size_t pairs, size_t size) {
        Strings taken;
        std::atomic<bool> done{false};
        std::thread sender([&] {
            for (size_t i = 0; i < pairs; ++i)
                for (const std::string& message : {protocol::Move(i % 15 + 1, i / 15 % 15 + 1),
                                                   protocol::Chat(std::string(size, 'a' + i % 26))})
                    if (link->SendMessage(message.c_str()) == 1)
                        taken.push_back(message);
            done = true;
        });
        EXPECT_TRUE(WaitUntil([&] { return done.load(); })) << "a send waited for the peer";
        sender.join();
        return taken;
    };
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && WaitFor("main:6002"));
    ShrinkBuffers(peer.Fd(), 32 * 1024);
    const Strings accepted = send(2 * NetView::kMaxUnsent / 900, 900);
    ASSERT_TRUE(WaitFor("main:6003"));
    EXPECT_EQ(Seen({"board:3012"}), Strings{"board:3012 #1"});
    EXPECT_EQ(link->SendMessage("MSG late"), -1) << "a chat to a peer being given up";
    link->DisConnect(true, false);
    link->DisListen(true, true);
    ASSERT_TRUE(peer.ReadUntilClosed());
    std::string_view arrived = std::string_view(peer.Received()).substr(4);  // after "CON\n"
    size_t whole = 0;
    while (whole < accepted.size() && arrived.starts_with(accepted[whole]))
        arrived.remove_prefix(accepted[whole++].size());
    ASSERT_LT(whole, accepted.size());
    EXPECT_LT(arrived.size(), accepted[whole].size()) << "more than a message's start after them";
    ASSERT_TRUE(WaitFor("main:6006"));
    EXPECT_EQ(Seen({"main:6006"}), Strings{"main:6006 " + std::to_string(accepted.size() - whole)});

    RawPeer next;
    ASSERT_TRUE(next.Connect() && WaitFor("main:6002", 2));
    ShrinkBuffers(next.Fd(), 16 * 1024);
    const Strings sent = send(270, 800);  // nearly kMaxUnsent
    ASSERT_EQ(sent.size(), 540u) << "a send was refused";
    // The peer reads once quitting has begun (the first thing it does is to reset the score).
    std::thread quitter([&] { DestroyLink(); });
    ASSERT_TRUE(WaitFor("main:5003"));
    EXPECT_TRUE(next.ReadUntilClosed());
    quitter.join();
    EXPECT_TRUE(next.Received() ==
                std::accumulate(sent.begin(), sent.end(), std::string("CON\n")) + "DIS\n")
        << next.Received().size() << " bytes";
}

// IPv6 addresses, with brackets or a zone, and names of either family; a name's addresses are
// tried in the resolver's order. Junk after an address is refused without a try.
TEST_F(NetViewTest, ConnectsToIPv6AddressesAndToEveryAddressOfAName) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs the test's own network and mount namespaces";
    // Names of this test alone; IPv4 addresses come first.
    const std::string failure =
        MountOver("/etc/nsswitch.conf", "hosts: files\n") +
        MountOver("/etc/hosts",
                  "::1 six.quillet.test\n127.0.0.2 two.quillet.test\n::1 two.quillet.test\n") +
        MountOver("/etc/gai.conf",
                  "precedence ::1/128 50\nprecedence ::/0 40\nprecedence ::ffff:0:0/96 100\n");
    if (!failure.empty())
        GTEST_SKIP() << failure;
    Socket server = Serve("::1");
    const FullListener silent(NET_PORT, "127.0.0.2");
    ASSERT_TRUE(silent.full);
    size_t made = 0;
    for (const char* address : {"::1", "[::1]", "::1%1", "six.quillet.test", "two.quillet.test"}) {
        SCOPED_TRACE(address);
        const auto ended = StartAttempt(address);
        if (std::string_view(address) == "two.quillet.test") {
            // The silent address is given up after five seconds, on the test's clock.
            EXPECT_TRUE(WaitUntil([] { return ConnectsInFlight() == 1; })) << "not IPv4 first";
            inspect::AdvanceClock(5000000);
        }
        RawPeer host(Accept(server, kSlow).Release());
        ASSERT_TRUE(host.Send("CON\n")) << "no connect";
        ASSERT_TRUE(WaitFor("dialog:3011", ++made));
        link->DisConnect(true, false);
        EXPECT_TRUE(WaitUntil([&] { return ended->load(); }));
    }
    EXPECT_EQ(ConnectsInFlight(), 0);
    ExpectRefused("fe80::1%lo", {"dialog:4001", "dialog:3012"});
    for (const char* address : {"::1 junk", "no.such.name.test"})
        ExpectRefused(address, {"dialog:3012"});
}

// This side ends a link while its reader holds a move it has read: the move is not reported.
TEST_F(NetViewTest, AReaderWhoseLinkThisSideEndedReportsNothingMore) {
    HoldNextAt(NetView::RacePoint::BeforeReport);
    RawPeer peer;
    ASSERT_TRUE(peer.Connect() && WaitFor("main:6002"));
    ASSERT_TRUE(peer.Send("PUT 8 3\n") && Held());
    std::thread([&] {  // as the board ends a game
        link->DisConnect(true, false);
        link->DisListen(true, true);
    })
        .join();
    ASSERT_TRUE(WaitFor("main:4004", 2) && Sync());
    EXPECT_EQ(Seen({"board:3001"}), Strings{});
    DestroyLink();  // quitting while listening gives the port back
    EXPECT_TRUE(ConnectOnce().fd < 0 && errno == ECONNREFUSED) << "port 1777 still listening";
}

// Another program that binds the port beside this one and listens first keeps it. The board, a
// connect dialog and a game's end may then restart listening at once: one loop is left.
TEST_F(NetViewTest, APortTakenBetweenBindAndListenIsInUseAndRestartsLeaveOneListenLoop) {
    ASSERT_TRUE(WaitFor("main:4004"));
    HoldNextAt(NetView::RacePoint::BeforeListen);
    link->DisListen(true, true);
    ASSERT_TRUE(Held());
    Socket other = Listen(NET_PORT, 1, "::");
    ASSERT_GE(other.fd, 0) << strerror(errno);
    letGo = true;
    ASSERT_TRUE(WaitFor("main:4005")) << "listening on a port another program holds";
    other.Close();
    std::vector<std::thread> restarters;
    for (int t = 0; t < 4; ++t)
        restarters.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                link->DisListen(true, true);
        });
    for (std::thread& restarter : restarters)
        restarter.join();
    EXPECT_TRUE(WaitUntil([] { return ListenLoops() == 1; })) << ListenLoops() << " listen loops";
    RawPeer peer;
    ASSERT_TRUE(peer.Connect());
    EXPECT_EQ(peer.Line(), "CON");
}
