// A peer on the wire made of a plain TCP socket; its waits pump the GUI and end at a deadline.
#pragma once

#include <string>

#include "tests/Sockets.h"

namespace testing_support {

class RawPeer {
public:
    RawPeer() = default;
    // Takes over a connected socket, such as one a test's listener accepted.
    explicit RawPeer(int socket) : fSocket(socket) {}

    // Connects to host (IPv4 or IPv6) at port, trying again until something listens there.
    bool Connect(uint16_t port = 1777, const char* host = "127.0.0.1") {
        const Address address(host, port);
        return WaitUntil([&] {
            Close();
            fSocket.fd = socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
            return connect(Fd(), address.Get(), address.length) == 0;
        });
    }

    bool Send(const std::string& bytes) {
        return ::send(Fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }

    // The next whole line received, without its line feed; empty when none came in time.
    std::string Line() {
        ReadWhile([&] { return fReceived.find('\n', fLineStart) == std::string::npos; });
        const size_t end = fReceived.find('\n', fLineStart);
        if (end == std::string::npos)
            return {};
        std::string line = fReceived.substr(fLineStart, end - fLineStart);
        fLineStart = end + 1;
        return line;
    }

    // Reads until the bytes received so far end with expected, or the peer closed.
    bool ReadUntil(const std::string& expected) {
        ReadWhile([&] { return !fReceived.ends_with(expected); });
        return fReceived.ends_with(expected);
    }

    // Reads until the program closes the connection.
    bool ReadUntilClosed() {
        ReadWhile([] { return true; });
        return fClosed;
    }

    const std::string& Received() const { return fReceived; }
    int Fd() const { return fSocket.fd; }
    void Close() { fSocket.Close(); }
    // Ends the connection with a reset instead of a close.
    void Reset() {
        const linger hard{1, 0};
        setsockopt(Fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

private:
    // Reads what arrives while more is wanted and the peer has not closed, up to a deadline.
    template <typename Condition>
    void ReadWhile(Condition wanted) {
        WaitUntil([&] {
            while (!fClosed && Readable(Fd())) {
                char buffer[1024];
                const ssize_t count = recv(Fd(), buffer, sizeof buffer, 0);
                fClosed = count <= 0;
                fReceived.append(buffer, fClosed ? 0 : count);
            }
            return fClosed || !wanted();
        });
    }

    Socket fSocket;
    std::string fReceived;
    size_t fLineStart = 0;  // where Line goes on reading
    bool fClosed = false;
};

}  // namespace testing_support
