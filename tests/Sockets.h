// Plain loopback sockets that stand in for the other end of a link; no Qt (kit tests use them).
#pragma once

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "tests/TestSupport.h"

namespace testing_support {

// Whether the test runs in network and mount namespaces of its own (see isolated.sh).
inline bool InOwnNamespace() {
    return std::getenv("QUILLET_TEST_NAMESPACE") != nullptr;
}

// host (an IPv4 or IPv6 address) at port.
struct Address {
    Address(const char* host, uint16_t port) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&storage);
        auto* four = reinterpret_cast<sockaddr_in*>(&storage);
        const bool isSix = inet_pton(AF_INET6, host, &six->sin6_addr) == 1;
        if (!isSix)
            inet_pton(AF_INET, host, &four->sin_addr);
        storage.ss_family = isSix ? AF_INET6 : AF_INET;
        four->sin_port = htons(port);  // at the same place in both families
        length = isSix ? sizeof *six : sizeof *four;
    }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int Family() const { return storage.ss_family; }
    sockaddr_storage storage{};
    socklen_t length;
};

inline sockaddr_in Loopback(uint16_t port) {
    return *reinterpret_cast<const sockaddr_in*>(Address("127.0.0.1", port).Get());
}

inline const sockaddr* AsAddress(const sockaddr_in& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

class Socket {
public:
    explicit Socket(int fd = -1) : fd(fd) {}
    Socket(Socket&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ~Socket() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
    }
    // Closes the socket after a call on it failed, keeping that call's errno.
    void Failed() {
        const int error = errno;
        Close();
        errno = error;
    }
    int Release() { return std::exchange(fd, -1); }
    int fd;
};

inline uint16_t PortOf(const Socket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A listener on host:port (port 0: a free one); closed, with errno kept, when that fails.
inline Socket Listen(uint16_t port = 1777, int backlog = 4, const char* host = "127.0.0.1") {
    const Address address(host, port);
    Socket listener(::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener.fd, address.Get(), address.length) != 0 ||
        ::listen(listener.fd, backlog) != 0)
        listener.Failed();
    return listener;
}

// One connect to host:port (with SOCK_NONBLOCK, one in progress counts); closed on failure.
inline Socket ConnectOnce(uint16_t port = 1777, int flags = 0, const char* host = "127.0.0.1") {
    const Address address(host, port);
    Socket connection(::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC | flags, 0));
    if (::connect(connection.fd, address.Get(), address.length) != 0 && errno != EINPROGRESS)
        connection.Failed();
    return connection;
}

inline bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1;
}

// Waits until fd has data, a connection or an end to read.
inline bool WaitReadable(int fd, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    return WaitUntil([&] { return Readable(fd); }, deadline);
}

// The next connection to listener; closed when none came in time.
inline Socket Accept(const Socket& listener,
                     std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    if (!WaitReadable(listener.fd, deadline))
        return Socket();
    return Socket(::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
}

// A listener on host (IPv4) whose accept queue is full, so that a connect to it hangs.
struct FullListener {
    explicit FullListener(uint16_t port = 1777, const char* host = "127.0.0.1")
        : listener(Listen(port, 0, host)), queued(ConnectOnce(PortOf(listener), 0, host)) {
        // A connection completed and not yet accepted.
        full = listener.fd >= 0 && queued.fd >= 0 && WaitUntil([&] {
                   tcp_info info{};
                   socklen_t length = sizeof info;
                   getsockopt(listener.fd, IPPROTO_TCP, TCP_INFO, &info, &length);
                   return info.tcpi_unacked >= 1;
               });
    }
    Socket listener, queued;
    bool full;
};

// Puts content over the file at target in this test's own mount namespace; gives what failed.
inline std::string MountOver(const char* target, const std::string& content) {
    char path[] = "/tmp/quillet-etc-XXXXXX";
    const int fd = mkstemp(path);
    const bool written =
        fd >= 0 && write(fd, content.data(), content.size()) == ssize_t(content.size());
    std::string failure;
    if (!written || mount(path, target, nullptr, MS_BIND, nullptr) != 0)
        failure = std::string("cannot mount over ") + target + ": " + strerror(errno);
    close(fd);
    unlink(path);  // the mount keeps the file's contents
    return failure;
}

// Sockets of this namespace still sending SYNs to port (/proc/net/tcp is the namespace's own).
inline int ConnectsInFlight(uint16_t port = 1777) {
    char remote[16];
    std::snprintf(remote, sizeof remote, ":%04X", port);
    std::ifstream table("/proc/net/tcp");
    int count = 0;
    std::string slot, local, peer, state;
    for (std::string rest; table >> slot >> local >> peer >> state && std::getline(table, rest);)
        count += peer.ends_with(remote) && state == "02";
    return count;
}

}  // namespace testing_support
