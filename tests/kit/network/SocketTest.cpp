#include "kit/network/Socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
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

int Connect(int fd, uint16 port, bigtime_t deadline = B_INFINITE_TIMEOUT) {
    const sockaddr_in address = Loopback(port);
    return kit::connect(fd, AsAddress(address), sizeof address, deadline);
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

// A spawned thread blocked in one call on a socket it owns (RAII); blocked: the call is under way.
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
    EXPECT_EQ(suspend_thread(thread), B_OK);  // accepted before a kill, and does nothing more
    EXPECT_EQ(kill_thread(thread), B_OK);
    EXPECT_FALSE(blocker.after) << "code after the stop point ran";
    struct stat now {};
    EXPECT_FALSE(fstat(blocker.socket, &now) == 0 && now.st_ino == status.st_ino)
        << "the stopped thread's socket stayed open";
    EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID);
}

}  // namespace

TEST(SocketTest, DataRoundTripsAndKillEndsBlockedCallsAtOnce) {
    // In its own network namespace a test has port 1777 to itself; elsewhere it takes a free one.
    Socket listener = Listen(InOwnNamespace() ? 1777 : 0, 1);
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    Socket client(kit::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_EQ(Connect(client.fd, PortOf(listener)), 0) << strerror(errno);
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

    // A connect that is not answered gives up at its deadline, and the attempt with it.
    const FullListener full(0);
    ASSERT_TRUE(full.full) << strerror(errno);
    const uint16 fullPort = PortOf(full.listener);
    Socket hanging(kit::socket(AF_INET, SOCK_STREAM, 0));
    errno = 0;
    EXPECT_EQ(Connect(hanging.fd, fullPort, system_time() + 50000), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_TRUE(WaitUntil([&] { return ConnectsInFlight(fullPort) == 0; })) << "attempt went on";

    Blocker blockers[] = {
        {"accept", listener.Release(), [](int fd) { kit::accept(fd, nullptr, nullptr); }},
        {"recv", server.Release(), [&](int fd) { kit::recv(fd, buffer, 1, 0); }},
        {"connect", kit::socket(AF_INET, SOCK_STREAM, 0), [&](int fd) { Connect(fd, fullPort); },
         [&] { return ConnectsInFlight(fullPort) == 1; }},
        {"snooze", kit::socket(AF_INET, SOCK_STREAM, 0), [](int) { snooze(3600LL * 1000000); }}};
    for (Blocker& blocker : blockers)
        KillWhileBlocked(blocker);
    // The stopped reader's socket closed: sending to it fails instead of raising SIGPIPE.
    EXPECT_TRUE(WaitUntil([&] { return kit::send(client.fd, "x", 1, 0) < 0; }));
}

// Only addresses when asked for them: no name goes to the resolver.
TEST(SocketTest, ResolvesNamesAndAddressesOfBothFamilies) {
    using Found = std::vector<std::string>;
    auto resolve = [](const char* name, bool numericOnly) {
        std::vector<kit::SocketAddress> addresses;
        Found found;
        char host[NI_MAXHOST], service[NI_MAXSERV];
        if (kit::ResolveHost(name, numericOnly, 1777, &addresses) == B_OK)
            for (const kit::SocketAddress& address : addresses)
                if (getnameinfo(address.Get(), address.length, host, sizeof host, service,
                                sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0)
                    found.push_back(std::string(host) + " " + service);
        return found;
    };
    for (const char* name : {"127.0.0.1", "::1", "2001:db8::5"})
        EXPECT_EQ(resolve(name, true), Found{std::string(name) + " 1777"});
    for (const char* name : {"localhost", "::1 junk", ""})
        EXPECT_EQ(resolve(name, true), Found{}) << name;
    const Found local = resolve("localhost", false);
    EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1 1777"), local.end());
    EXPECT_EQ(resolve(nullptr, false), Found{});
}

// Unknown names go to a name server: only to a local one, and only in the test's namespaces.
TEST(SocketTest, AnUnknownNameFailsAndKillEndsALookUpThatNeverAnswers) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs the test's own network and mount namespaces";
    const std::string failure =
        MountOver("/etc/nsswitch.conf", "hosts: files dns\n") +
        MountOver("/etc/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    if (!failure.empty())
        GTEST_SKIP() << failure;
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
