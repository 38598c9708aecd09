#include "kit/network/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

// In its own network namespace a test has port 1777 to itself; elsewhere it takes a free port.
bool InOwnNamespace() {
    return std::getenv("QUILLET_TEST_NAMESPACE") != nullptr;
}

struct Fd {
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd() {
        if (fd >= 0)
            kit::closesocket(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Release() { return std::exchange(fd, -1); }
    int fd;
};

sockaddr_in Loopback(uint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = kit::HostToNetwork16(port);
    address.sin_addr.s_addr = kit::HostToNetwork32(INADDR_LOOPBACK);
    return address;
}

// A listener on 127.0.0.1; a port of 0 picks the test's port, which is given back in port.
int Listen(int backlog, uint16& port) {
    Fd fd(kit::socket(AF_INET, SOCK_STREAM, 0));
    int on = 1;
    setsockopt(fd.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port != 0 ? port : InOwnNamespace() ? 1777 : 0);
    socklen_t length = sizeof address;
    if (kit::bind(fd.fd, reinterpret_cast<sockaddr*>(&address), length) < 0 ||
        kit::listen(fd.fd, backlog) < 0 ||
        getsockname(fd.fd, reinterpret_cast<sockaddr*>(&address), &length) < 0)
        return -1;
    port = ntohs(address.sin_port);
    return fd.Release();
}

int Connect(int fd, uint16 port) {
    sockaddr_in address = Loopback(port);
    return kit::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int ConnectNew(uint16 port) {
    Fd fd(kit::socket(AF_INET, SOCK_STREAM, 0));
    return Connect(fd.fd, port) == 0 ? fd.Release() : -1;
}

// kit::recv, failing with -2 instead of waiting past the deadline.
ssize_t RecvWithin(int fd, char* buffer, size_t length) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 10000) != 1)
        return -2;
    return kit::recv(fd, buffer, length, 0);
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

bool IsOpen(int fd, ino_t inode) {
    struct stat status {};
    return fstat(fd, &status) == 0 && status.st_ino == inode;
}

// A spawned thread that owns a socket through RAII and blocks in one call.
struct Blocker {
    std::function<int()> makeSocket;
    std::function<void(int)> block;
    std::function<bool()> blocked = [] { return true; };  // more evidence that it waits
    std::atomic<pid_t> tid{0};
    std::atomic<int> fd{-1};
    std::atomic<ino_t> inode{0};
    std::atomic<bool> after{false};
};

int32 RunBlocker(void* data) {
    auto* blocker = static_cast<Blocker*>(data);
    Fd own(blocker->makeSocket());
    struct stat status {};
    fstat(own.fd, &status);
    blocker->fd = own.fd;
    blocker->inode = status.st_ino;
    blocker->tid = gettid();
    blocker->block(own.fd);
    blocker->after = true;
    return 0;
}

void KillWhileBlocked(Blocker& blocker, const char* what) {
    SCOPED_TRACE(what);
    thread_id thread = spawn_thread(RunBlocker, what, B_NORMAL_PRIORITY, &blocker);
    ASSERT_GT(thread, 0);
    ASSERT_EQ(resume_thread(thread), B_OK);
    EXPECT_TRUE(WaitUntil(blocker.blocked)) << "the blocking call never got under way";
    bool waiting = WaitUntil([&] { return blocker.tid != 0 && InPoll(blocker.tid); });
    EXPECT_TRUE(waiting) << "the thread is not waiting at its stop point";
    // A call blocked out of reach of a stop is released this way, so that the test ends.
    if (!waiting && blocker.tid != 0)
        shutdown(blocker.fd, SHUT_RDWR);
    bigtime_t start = system_time();
    EXPECT_EQ(kill_thread(thread), B_OK);
    EXPECT_LT(system_time() - start, 1000 * 1000) << "kill_thread hung";
    EXPECT_FALSE(blocker.after) << "code after the stop point ran";
    EXPECT_FALSE(IsOpen(blocker.fd, blocker.inode)) << "the stopped thread's socket stayed open";
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
    uint16 port = 0;
    Fd listener(Listen(1, port));
    ASSERT_GE(listener.fd, 0) << strerror(errno);
    Fd client(ConnectNew(port));
    ASSERT_GE(client.fd, 0) << strerror(errno);
    EXPECT_EQ(fcntl(client.fd, F_GETFL) & O_NONBLOCK, 0) << "connect left the socket non-blocking";
    sockaddr_in from{};
    socklen_t length = sizeof from;
    Fd server(kit::accept(listener.fd, reinterpret_cast<sockaddr*>(&from), &length));
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
    ASSERT_EQ(kit::send(server.fd, "DIS\n", 4, 0), 4);
    ASSERT_EQ(RecvWithin(client.fd, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "DIS\n");

    kit::closesocket(client.Release());
    EXPECT_EQ(RecvWithin(server.fd, buffer, sizeof buffer), 0) << "the peer's close was not seen";
    // Sending to a peer that has gone fails instead of raising SIGPIPE.
    int error = 0;
    EXPECT_TRUE(WaitUntil([&] {
        bool failed = kit::send(server.fd, "x", 1, 0) < 0;
        error = errno;
        return failed;
    }));
    EXPECT_TRUE(error == EPIPE || error == ECONNRESET) << strerror(error);

    kit::closesocket(listener.Release());
    Fd refused(kit::socket(AF_INET, SOCK_STREAM, 0));
    int result = Connect(refused.fd, port);
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

    // An unknown name goes to a name server: only to a local one, where nothing answers on
    // port 53, and so only in the test's own namespaces.
    if (!InOwnNamespace())
        return;
    LocalNameServer nameServer;
    if (!nameServer.failure.empty())
        GTEST_SKIP() << nameServer.failure;
    EXPECT_EQ(kit::ResolveHost("peer.quillet.test", &address), B_NAME_NOT_FOUND);
}

TEST(SocketTest, KillEndsBlockedAcceptRecvAndConnectAtOnce) {
    uint16 port = 0;
    Blocker acceptor;
    acceptor.makeSocket = [&] { return Listen(1, port); };
    acceptor.block = [](int fd) { kit::accept(fd, nullptr, nullptr); };
    KillWhileBlocked(acceptor, "accept");
    Fd again(Listen(1, port));
    EXPECT_GE(again.fd, 0) << "the stopped listener kept its port: " << strerror(errno);

    Fd client(ConnectNew(port));
    ASSERT_GE(client.fd, 0) << strerror(errno);
    Fd server(kit::accept(again.fd, nullptr, nullptr));
    ASSERT_GE(server.fd, 0) << strerror(errno);
    Blocker reader;
    reader.makeSocket = [&] { return client.Release(); };
    reader.block = [](int fd) {
        char buffer[16];
        kit::recv(fd, buffer, sizeof buffer, 0);
    };
    KillWhileBlocked(reader, "recv");
    char buffer[16];
    EXPECT_EQ(RecvWithin(server.fd, buffer, sizeof buffer), 0) << "the peer never saw the close";
    kit::closesocket(again.Release());

    // A listener with a full backlog drops further SYNs: connecting to it hangs.
    uint16 fullPort = 0;
    Fd full(Listen(0, fullPort));
    ASSERT_GE(full.fd, 0) << strerror(errno);
    Fd queued(ConnectNew(fullPort));
    ASSERT_GE(queued.fd, 0) << strerror(errno);
    Blocker connector;
    connector.makeSocket = [] { return kit::socket(AF_INET, SOCK_STREAM, 0); };
    connector.block = [&](int fd) { Connect(fd, fullPort); };
    KillWhileBlocked(connector, "connect");
}

TEST(SocketTest, KillEndsNameLookUpThatNeverAnswers) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs the test's own network and mount namespaces";
    LocalNameServer nameServer;
    if (!nameServer.failure.empty())
        GTEST_SKIP() << nameServer.failure;
    Fd silent(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(53);
    if (::bind(silent.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        GTEST_SKIP() << "cannot bind 127.0.0.1:53: " << strerror(errno);

    Blocker resolver;
    resolver.makeSocket = [] { return kit::socket(AF_INET, SOCK_STREAM, 0); };
    resolver.block = [](int) {
        in_addr_t found;
        kit::ResolveHost("peer.quillet.test", &found);
    };
    resolver.blocked = [&] {
        char byte;
        return ::recv(silent.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0;
    };
    KillWhileBlocked(resolver, "name look-up");
}
