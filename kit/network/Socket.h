// The BSD socket calls the program's link uses, with the kit's stop points.
//
// accept, connect, recv and ResolveHost block only in the kit's stop-point wait
// (kernel/StopPoint.h): a thread blocked in one of them is ended by kill_thread at once, the call
// unwinding with kit::ThreadStopped. Sockets are made close-on-exec; send never raises SIGPIPE.
// Name look-up runs getaddrinfo (IPv4 and IPv6) on a helper thread so that the waiting thread can
// be stopped meanwhile. Every call is safe from any thread; each blocks only its caller.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "kit/kernel/OS.h"

namespace kit {

// An IPv4 or IPv6 socket address, as the socket calls take it.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int Family() const { return storage.ss_family; }
};

// socket(2) with SOCK_CLOEXEC added.
int socket(int domain, int type, int protocol);
int bind(int socket, const sockaddr* address, socklen_t length);
int listen(int socket, int backlog);
// accept(2), returning a close-on-exec socket; a stop point.
int accept(int socket, sockaddr* address, socklen_t* length);
// connect(2) for a blocking socket; a stop point. On a stop, or when the deadline (system_time)
// passes first (-1, errno ETIMEDOUT), the socket is left unconnected.
int connect(int socket, const sockaddr* address, socklen_t length,
            bigtime_t deadline = B_INFINITE_TIMEOUT);
// send(2) with MSG_NOSIGNAL added.
ssize_t send(int socket, const void* data, size_t length, int flags);
// recv(2); a stop point.
ssize_t recv(int socket, void* buffer, size_t length, int flags);
int closesocket(int socket);
int setsockopt(int socket, int level, int option, const void* value, socklen_t length);

// Looks up a host name, a dotted IPv4 address or an IPv6 address (with its zone, as in
// "fe80::1%eth0"); with numericOnly, only the addresses are taken, no name is looked up. Gives
// every address found, IPv4 and IPv6, in the resolver's order, with port set. B_OK, or
// B_NAME_NOT_FOUND when it does not resolve. A stop point.
status_t ResolveHost(const char* name, bool numericOnly, uint16 port,
                     std::vector<SocketAddress>* addresses);

// The addresses of this machine's network interfaces that are up, IPv4 and IPv6, in the order
// the system lists them.
struct InterfaceAddress {
    std::string interface;
    SocketAddress address;  // port 0
};
std::vector<InterfaceAddress> InterfaceAddresses();

// Host to network byte order.
uint16 HostToNetwork16(uint16 value);
uint32 HostToNetwork32(uint32 value);

}  // namespace kit
