#include "kit/network/Socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/Sockets.h"

using namespace testing_support;

namespace {

// In its own network namespace a test has port 1777 to itself; elsewhere it takes a free port.
uint16 TestPort() {
    return InOwnNamespace() ? 1777 : 0;
}

int Connect(int fd, uint16 port) {
    const sockaddr_in address = Loopback(port);
    return kit::connect(fd, AsAddress(address), sizeof address);
}

// kit::recv, failing with -2 instead of waiting past the deadline.
ssize_t RecvWithin(int fd, char* buffer, size_t length) {
    return WaitReadable(fd) ? kit::recv(fd, buffer, length, 0) : -2;
}

// A thread waiting at a stop point sits in poll.
bool InPoll(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    in >> number;
#ifdef SYS_poll
    if (number == SYS_poll)
        return true;
#endif
    return number == SYS_ppoll;
}

// A spawned thread that owns socket through RAII and blocks in one call.
struct Blocker {
    int socket;
    std::function<void(int)> block;
    std::atomic<pid_t> tid{0};
    std::atomic<bool> after{false};
};

int32 RunBlocker(void* data) {
    auto* blocker = static_cast<Blocker*>(data);
    blocker->tid = gettid();
    Socket own(blocker->socket);
    blocker->block(own.fd);
    blocker->after = true;
    return 0;
}

// blocked: more evidence that the call is under way.
void KillWhileBlocked(
    const char* what, int socket, std::function<void(int)> block,
    std::function<bool()> blocked = [] { return true; }) {
    SCOPED_TRACE(what);
    struct stat status {};
    ASSERT_EQ(fstat(socket, &status), 0);
    Blocker blocker{socket, std::move(block)};
    thread_id thread = spawn_thread(RunBlocker, what, B_NORMAL_PRIORITY, &blocker);
    ASSERT_GT(thread, 0);
    ASSERT_EQ(resume_thread(thread), B_OK);
    EXPECT_TRUE(WaitUntil(blocked)) << "the blocking call never got under way";
    bool waiting = WaitUntil([&] { return blocker.tid != 0 && InPoll(blocker.tid); });
    EXPECT_TRUE(waiting) << "the thread is not waiting at its stop point";
    // A call blocked out of reach of a stop is released this way, so that the test ends.
    if (!waiting)
        shutdown(socket, SHUT_RDWR);
    bigtime_t start = system_time();
    EXPECT_EQ(kill_thread(thread), B_OK);
    EXPECT_LT(system_time() - start, 1000 * 1000) << "kill_thread hung";
    EXPECT_FALSE(blocker.after) << "code after the stop point ran";
    struct stat now {};
    EXPECT_FALSE(fstat(socket, &now) == 0 && now.st_ino == status.st_ino)
        << "the stopped thread's socket stayed open";
}

// Points name look-ups at a name server on 127.0.0.1 by mounting files over /etc's, which only
// this test's own mount namespace sees.
class LocalNameServer {
public:
    LocalNameServer() {
        Mount("/etc/nsswitch.conf", "hosts: files dns\n");
        Mount("/etc/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    }
    ~LocalNameServer() {
        for (const std::string& target : fMounted)
            umount2(target.c_str(), MNT_DETACH);
    }
    std::string failure;

private:
    void Mount(const char* target, const std::string& content) {
        char path[] = "/tmp/quillet-etc-XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0) {
            failure = "cannot make a temporary file";
            return;
        }
        bool written = write(fd, content.data(), content.size()) == ssize_t(content.size());
        close(fd);
        if (!written || mount(path, target, nullptr, MS_BIND, nullptr) != 0)
            failure = std::string("cannot mount over ") + target + ": " + strerror(errno);
        else
            fMounted.push_back(target);
        unlink(path);  // the mount keeps the file's contents
    }
    std::vector<std::string> fMounted;
};

}  // namespace

TEST(SocketTest, DataRoundTripsAndEndsAsThePeerCloses) {
    Socket listener = Listen(TestPort(), 1);
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    const uint16 port = PortOf(listener);
    Socket client(kit::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_EQ(Connect(client.fd, port), 0) << strerror(errno);
    EXPECT_EQ(fcntl(client.fd, F_GETFL) & O_NONBLOCK, 0) << "connect left the socket non-blocking";
    sockaddr_in from{};
    socklen_t length = sizeof from;
    Socket server(kit::accept(listener.fd, reinterpret_cast<sockaddr*>(&from), &length));
    ASSERT_GE(server.fd, 0) << strerror(errno);
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    for (int fd : {client.fd, server.fd})
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "a socket is inherited by programs run";

    const std::string greeting = "HEL 1\nput 3 4\n";
    ASSERT_EQ(kit::send(client.fd, greeting.data(), greeting.size(), 0), ssize_t(greeting.size()));
    std::string received;
    char buffer[1024];
    while (received.size() < greeting.size()) {
        ssize_t count = RecvWithin(server.fd, buffer, sizeof buffer);
        ASSERT_GT(count, 0) << "the data did not arrive";
        received.append(buffer, count);
    }
    EXPECT_EQ(received, greeting);

    client.Close();
    EXPECT_EQ(RecvWithin(server.fd, buffer, sizeof buffer), 0) << "the peer's close was not seen";
    // Sending to a peer that has gone fails instead of raising SIGPIPE.
    int error = 0;
    EXPECT_TRUE(WaitUntil([&] {
        bool failed = kit::send(server.fd, "x", 1, 0) < 0;
        error = errno;
        return failed;
    }));
    EXPECT_TRUE(error == EPIPE || error == ECONNRESET) << strerror(error);

    listener.Close();
    Socket refused(kit::socket(AF_INET, SOCK_STREAM, 0));
    const int result = Connect(refused.fd, port);
    error = errno;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, ECONNREFUSED) << strerror(error);
}

TEST(SocketTest, ResolvesHostNames) {
    in_addr_t address = 0;
    EXPECT_EQ(kit::ResolveHost("127.0.0.1", &address), B_OK);
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    address = 0;
    EXPECT_EQ(kit::ResolveHost("localhost", &address), B_OK);
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(kit::ResolveHost("", &address), B_NAME_NOT_FOUND);
    EXPECT_EQ(kit::ResolveHost(nullptr, &address), B_NAME_NOT_FOUND);
    EXPECT_EQ(kit::HostToNetwork16(0x1234), htons(0x1234));
}

TEST(SocketTest, KillEndsBlockedAcceptRecvAndConnectAtOnce) {
    Socket listener = Listen(TestPort(), 1);
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    const uint16 port = PortOf(listener);
    KillWhileBlocked("accept", listener.Release(),
                     [](int fd) { kit::accept(fd, nullptr, nullptr); });
    Socket again = Listen(port, 1);
    EXPECT_GE(again.fd, 0) << "the stopped listener kept its port: " << strerror(errno);

    Socket client = ConnectOnce(port);
    ASSERT_GE(client.fd, 0) << strerror(errno);
    Socket server = Accept(again);
    ASSERT_GE(server.fd, 0) << strerror(errno);
    KillWhileBlocked("recv", client.Release(), [](int fd) {
        char buffer[16];
        kit::recv(fd, buffer, sizeof buffer, 0);
    });
    again.Close();

    const FullListener full(port);
    ASSERT_TRUE(full.full) << strerror(errno);
    KillWhileBlocked(
        "connect", kit::socket(AF_INET, SOCK_STREAM, 0), [&](int fd) { Connect(fd, port); },
        [&] { return ConnectsInFlight(port) == 1; });
}

// Unknown names go to a name server: only to a local one, and only in the test's namespaces.
TEST(SocketTest, AnUnknownNameFailsAndKillEndsALookUpThatNeverAnswers) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs the test's own network and mount namespaces";
    LocalNameServer nameServer;
    if (!nameServer.failure.empty())
        GTEST_SKIP() << nameServer.failure;
    in_addr_t found;
    EXPECT_EQ(kit::ResolveHost("peer.quillet.test", &found), B_NAME_NOT_FOUND);

    // Now a name server that takes the question and never answers.
    Socket silent(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(53);
    if (::bind(silent.fd, AsAddress(address), sizeof address) != 0)
        GTEST_SKIP() << "cannot bind 127.0.0.1:53: " << strerror(errno);
    KillWhileBlocked(
        "name look-up", kit::socket(AF_INET, SOCK_STREAM, 0),
        [](int) {
            in_addr_t never;
            kit::ResolveHost("peer.quillet.test", &never);
        },
        [&] {
            char byte;
            return ::recv(silent.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0;
        });
}
