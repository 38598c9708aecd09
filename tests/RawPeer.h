// A peer on the wire made of a plain TCP socket, for tests of what the program sends and gets.
// Its waits pump the GUI (through WaitUntil) and end at a deadline.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "tests/TestSupport.h"

namespace testing_support {

class RawPeer {
public:
    RawPeer() = default;
    // Takes over a connected socket, such as one a test's listener accepted.
    explicit RawPeer(int socket) : fSocket(socket) {}
    ~RawPeer() { Close(); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // Connects to host (an IPv4 or IPv6 address) at port, trying again until something listens
    // there.
    bool Connect(uint16_t port = 1777, const char* host = "127.0.0.1") {
        sockaddr_in6 address6{};
        sockaddr_in address4{};
        const bool six = inet_pton(AF_INET6, host, &address6.sin6_addr) == 1;
        address6.sin6_family = AF_INET6;
        address6.sin6_port = htons(port);
        address4.sin_family = AF_INET;
        address4.sin_port = htons(port);
        inet_pton(AF_INET, host, &address4.sin_addr);
        return WaitUntil([&] {
            Close();
            fSocket = socket(six ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            return six ? connect(fSocket, reinterpret_cast<sockaddr*>(&address6),
                                 sizeof address6) == 0
                       : connect(fSocket, reinterpret_cast<sockaddr*>(&address4),
                                 sizeof address4) == 0;
        });
    }

    bool Send(const std::string& bytes) {
        return ::send(fSocket, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // The next whole line received, without its line feed; empty when none came in time.
    std::string Line() {
        WaitUntil([&] {
            ReadAvailable();
            return fReceived.find('\n', fLineStart) != std::string::npos || fClosed;
        });
        const size_t end = fReceived.find('\n', fLineStart);
        if (end == std::string::npos)
            return {};
        std::string line = fReceived.substr(fLineStart, end - fLineStart);
        fLineStart = end + 1;
        return line;
    }

    // Reads until the bytes received so far end with expected, or the peer closed.
    bool ReadUntil(const std::string& expected) {
        return WaitUntil([&] {
                   ReadAvailable();
                   return Ends(expected) || fClosed;
               }) &&
               Ends(expected);
    }

    // Reads until the program closes the connection.
    bool ReadUntilClosed() {
        return WaitUntil([&] {
            ReadAvailable();
            return fClosed;
        });
    }

    // Reads until at least bytes have come, or the peer closed.
    bool ReadAtLeast(size_t bytes) {
        return WaitUntil([&] {
                   ReadAvailable();
                   return fReceived.size() >= bytes || fClosed;
               }) &&
               fReceived.size() >= bytes;
    }

    const std::string& Received() const { return fReceived; }
    int Fd() const { return fSocket; }
    void Close() {
        if (fSocket >= 0)
            close(fSocket);
        fSocket = -1;
    }
    // Ends the connection with a reset instead of a close.
    void Reset() {
        const linger hard{1, 0};
        setsockopt(fSocket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

private:
    bool Ends(const std::string& expected) const {
        return fReceived.size() >= expected.size() &&
               fReceived.compare(fReceived.size() - expected.size(), expected.size(), expected) ==
                   0;
    }

    void ReadAvailable() {
        pollfd readable{fSocket, POLLIN, 0};
        while (!fClosed && poll(&readable, 1, 1) == 1) {
            char buffer[1024];
            const ssize_t count = recv(fSocket, buffer, sizeof buffer, 0);
            if (count <= 0) {
                fClosed = true;
                break;
            }
            fReceived.append(buffer, count);
        }
    }

    int fSocket = -1;
    std::string fReceived;
    size_t fLineStart = 0;  // where Line goes on reading
    bool fClosed = false;
};

}  // namespace testing_support
