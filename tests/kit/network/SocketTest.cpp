#include "kit/network/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
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

// A thread waiting at a stop point sits in poll.
bool InPoll(pid_t tid) {
    long number = -1;
    std::ifstream("/proc/self/task/" + std::to_string(tid) + "/syscall") >> number;
#ifdef SYS_poll
    if (number == SYS_poll)
        return true;
#endif
    return number == SYS_ppoll;
}

// A spawned thread blocked in one call on a socket it owns through RAII; blocked, when given,
// shows more evidence that the call is under way.
struct Blocker {
    const char* what;
    int socket;
    std::function<void(int)> block;
    std::function<bool()> blocked = [] { return true; };
    std::atomic<pid_t> tid{0};
    std::atomic<bool> after{false};

    static int32 Run(void* data) {
        auto* self = static_cast<Blocker*>(data);
        self->tid = gettid();
        Socket own(self->socket);
        self->block(own.fd);
        self->after = true;
        return 0;
    }
};

void KillWhileBlocked(Blocker& blocker) {
    SCOPED_TRACE(blocker.what);
    struct stat status {};
    ASSERT_EQ(fstat(blocker.socket, &status), 0);
    const thread_id thread = spawn_thread(Blocker::Run, blocker.what, B_NORMAL_PRIORITY, &blocker);
    ASSERT_EQ(resume_thread(thread), B_OK);
    EXPECT_TRUE(WaitUntil(blocker.blocked)) << "the blocking call never got under way";
    const bool waiting = WaitUntil([&] { return blocker.tid != 0 && InPoll(blocker.tid); });
    EXPECT_TRUE(waiting) << "the thread is not waiting at its stop point";
    // A call blocked out of reach of a stop is released this way, so that the test ends.
    if (!waiting)
        shutdown(blocker.socket, SHUT_RDWR);
    EXPECT_EQ(kill_thread(thread), B_OK);
    EXPECT_FALSE(blocker.after) << "code after the stop point ran";
    struct stat now {};
    EXPECT_FALSE(fstat(blocker.socket, &now) == 0 && now.st_ino == status.st_ino)
        << "the stopped thread's socket stayed open";
}

// Points name look-ups at a name server on 127.0.0.1, for this test's mount namespace alone.
struct LocalNameServer {
    LocalNameServer()
        : failure(MountOver("/etc/nsswitch.conf", "hosts: files dns\n") +
                  MountOver("/etc/resolv.conf",
                            "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n")) {}
    std::string failure;
};

}  // namespace

TEST(SocketTest, DataRoundTripsAndEndsAsThePeerCloses) {
    Socket listener = Listen(TestPort(), 1);
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    const uint16 port = PortOf(listener);
    Socket client(kit::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_EQ(Connect(client.fd, port), 0) << strerror(errno);
    EXPECT_EQ(fcntl(client.fd, F_GETFL) & O_NONBLOCK, 0) << "connect left the socket non-blocking";
    Socket server(kit::accept(listener.fd, nullptr, nullptr));
    ASSERT_GE(server.fd, 0) << strerror(errno);
    for (int fd : {client.fd, server.fd})
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "a socket is inherited by programs run";

    const std::string greeting = "HEL 1\nput 3 4\n";
    ASSERT_EQ(kit::send(client.fd, greeting.data(), greeting.size(), 0), ssize_t(greeting.size()));
    std::string received;
    char buffer[1024];
    while (received.size() < greeting.size() && WaitReadable(server.fd)) {
        const ssize_t count = kit::recv(server.fd, buffer, sizeof buffer, 0);
        ASSERT_GT(count, 0) << "the data did not arrive";
        received.append(buffer, count);
    }
    EXPECT_EQ(received, greeting);

    client.Close();
    ASSERT_TRUE(WaitReadable(server.fd));
    EXPECT_EQ(kit::recv(server.fd, buffer, sizeof buffer, 0), 0) << "the peer's close was not seen";
    // Sending to a peer that has gone fails instead of raising SIGPIPE.
    EXPECT_TRUE(WaitUntil([&] { return kit::send(server.fd, "x", 1, 0) < 0; }));

    listener.Close();
    Socket refused(kit::socket(AF_INET, SOCK_STREAM, 0));
    EXPECT_TRUE(Connect(refused.fd, port) == -1 && errno == ECONNREFUSED) << strerror(errno);
}

// The text of an address the look-up gave, with its port.
std::string Text(const kit::SocketAddress& address) {
    char text[INET6_ADDRSTRLEN] = "";
    const void* ip = address.Family() == AF_INET6
                         ? static_cast<const void*>(
                               &reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_addr)
                         : &reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_addr;
    inet_ntop(address.Family(), ip, text, sizeof text);
    return std::string(text) + " " +
           std::to_string(ntohs(reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_port));
}

TEST(SocketTest, ResolvesNamesAndAddressesOfBothFamilies) {
    using Found = std::vector<std::string>;
    auto resolve = [](const char* name, bool numericOnly) {
        std::vector<kit::SocketAddress> addresses;
        Found found;
        if (kit::ResolveHost(name, numericOnly, 1777, &addresses) == B_OK)
            for (const kit::SocketAddress& address : addresses)
                found.push_back(Text(address));
        return found;
    };
    EXPECT_EQ(resolve("127.0.0.1", false), Found{"127.0.0.1 1777"});
    EXPECT_EQ(resolve("::1", true), Found{"::1 1777"});
    EXPECT_EQ(resolve("2001:db8::5", true), Found{"2001:db8::5 1777"});
    const Found local = resolve("localhost", false);
    EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1 1777"), local.end());
    // Only addresses when asked for them: no name goes to the resolver.
    EXPECT_EQ(resolve("localhost", true), Found{});
    EXPECT_EQ(resolve("::1 junk", true), Found{});
    EXPECT_EQ(resolve("", false), Found{});
    std::vector<kit::SocketAddress> addresses;
    EXPECT_EQ(kit::ResolveHost(nullptr, false, 1777, &addresses), B_NAME_NOT_FOUND);
}

// A connect that is not answered gives up at its deadline, and the attempt is given up with it.
TEST(SocketTest, AConnectNeverAnsweredEndsAtItsDeadline) {
    const FullListener full(0);
    ASSERT_TRUE(full.full) << strerror(errno);
    const uint16 port = PortOf(full.listener);
    Socket hanging(kit::socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in address = Loopback(port);
    errno = 0;
    EXPECT_EQ(kit::connect(hanging.fd, AsAddress(address), sizeof address, system_time() + 200000),
              -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_TRUE(WaitUntil([&] { return ConnectsInFlight(port) == 0; })) << "attempt went on";
}

TEST(SocketTest, KillEndsBlockedAcceptRecvAndConnectAtOnce) {
    Socket listener = Listen(TestPort(), 1);
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    const uint16 port = PortOf(listener);
    Socket client = ConnectOnce(port), server = Accept(listener);
    ASSERT_GE(server.fd, 0) << strerror(errno);
    const FullListener full(0);  // a connect to it is never answered
    ASSERT_TRUE(full.full) << strerror(errno);
    const uint16 fullPort = PortOf(full.listener);
    char byte;  // never written: every call is stopped before it returns
    Blocker blockers[] = {
        {"accept", listener.Release(), [](int fd) { kit::accept(fd, nullptr, nullptr); }},
        {"recv", client.Release(), [&](int fd) { kit::recv(fd, &byte, 1, 0); }},
        {"connect", kit::socket(AF_INET, SOCK_STREAM, 0), [&](int fd) { Connect(fd, fullPort); },
         [&] { return ConnectsInFlight(fullPort) == 1; }}};
    for (Blocker& blocker : blockers)
        KillWhileBlocked(blocker);
    EXPECT_GE(Listen(port, 1).fd, 0) << "the stopped listener kept its port: " << strerror(errno);
}

// Unknown names go to a name server: only to a local one, and only in the test's namespaces.
TEST(SocketTest, AnUnknownNameFailsAndKillEndsALookUpThatNeverAnswers) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs the test's own network and mount namespaces";
    LocalNameServer nameServer;
    if (!nameServer.failure.empty())
        GTEST_SKIP() << nameServer.failure;
    std::vector<kit::SocketAddress> found;
    EXPECT_EQ(kit::ResolveHost("peer.quillet.test", false, 1777, &found), B_NAME_NOT_FOUND);

    // Now a name server that takes the question and never answers.
    Socket silent(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(53);
    if (::bind(silent.fd, AsAddress(address), sizeof address) != 0)
        GTEST_SKIP() << "cannot bind 127.0.0.1:53: " << strerror(errno);
    Blocker lookUp{"name look-up", kit::socket(AF_INET, SOCK_STREAM, 0),
                   [&](int) { kit::ResolveHost("peer.quillet.test", false, 1777, &found); },
                   [&] { return Readable(silent.fd); }};
    KillWhileBlocked(lookUp);
}
