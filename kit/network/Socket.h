// The BSD socket calls the program's link uses, with the kit's stop points.
//
// accept, connect, recv and ResolveHost block only in the kit's stop-point wait
// (kernel/StopPoint.h): a thread blocked in one of them is ended by kill_thread at once, the call
// unwinding with kit::ThreadStopped. Sockets are made close-on-exec; send never raises SIGPIPE.
// Name look-up runs getaddrinfo (IPv4) on a helper thread so that the waiting thread can be stopped
// meanwhile. Every call is safe from any thread; each blocks only its caller.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include "kit/kernel/OS.h"

namespace kit {

// socket(2) with SOCK_CLOEXEC added.
int socket(int domain, int type, int protocol);
int bind(int socket, const sockaddr* address, socklen_t length);
int listen(int socket, int backlog);
// accept(2), returning a close-on-exec socket; a stop point.
int accept(int socket, sockaddr* address, socklen_t* length);
// connect(2) for a blocking socket; a stop point. On a stop the socket is left unconnected.
int connect(int socket, const sockaddr* address, socklen_t length);
// send(2) with MSG_NOSIGNAL added.
ssize_t send(int socket, const void* data, size_t length, int flags);
// recv(2); a stop point.
ssize_t recv(int socket, void* buffer, size_t length, int flags);
int closesocket(int socket);
int setsockopt(int socket, int level, int option, const void* value, socklen_t length);

// Looks up a host name or dotted IPv4 address and gives its first IPv4 address in network byte
// order. B_OK, or B_NAME_NOT_FOUND when it does not resolve. A stop point.
status_t ResolveHost(const char* name, in_addr_t* address);

// Host to network byte order.
uint16 HostToNetwork16(uint16 value);
uint32 HostToNetwork32(uint32 value);

}  // namespace kit
