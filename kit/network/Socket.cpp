#include "kit/network/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "kit/kernel/StopPoint.h"

namespace kit {

namespace {

// Puts a socket back into the mode it had, keeping errno for the caller.
class ModeRestorer {
public:
    ModeRestorer(int socket, int mode) : fSocket(socket), fMode(mode) {}
    ~ModeRestorer() {
        int saved = errno;
        fcntl(fSocket, F_SETFL, fMode);
        errno = saved;
    }

private:
    int fSocket;
    int fMode;
};

// A look-up shared by the waiting thread and the helper that runs getaddrinfo: a stopped waiter
// leaves it to the helper, which finishes on its own and drops the result.
struct Lookup {
    Lookup() : event(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Lookup() {
        if (event >= 0)
            close(event);
    }

    const int event;  // signalled once the helper is done
    std::string name;
    bool numericOnly = false;
    uint16 port = 0;
    std::mutex mutex;  // guards done and found
    bool done = false;
    std::vector<SocketAddress> found;
};

void RunLookup(const std::shared_ptr<Lookup>& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = lookup->numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
    std::vector<SocketAddress> found;
    if (getaddrinfo(lookup->name.c_str(), nullptr, &hints, &list) == 0) {
        for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
            if ((entry->ai_family != AF_INET && entry->ai_family != AF_INET6) ||
                entry->ai_addr == nullptr || entry->ai_addrlen > sizeof(sockaddr_storage))
                continue;
            SocketAddress address;
            std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
            address.length = entry->ai_addrlen;
            // The port sits at the same place in both families' addresses.
            reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(lookup->port);
            found.push_back(address);
        }
        freeaddrinfo(list);
    }
    {
        std::lock_guard lock(lookup->mutex);
        lookup->done = true;
        lookup->found = std::move(found);
    }
    uint64_t one = 1;
    while (write(lookup->event, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

// Gives up a connection attempt, so that it cannot complete later on a socket someone still holds.
void CancelConnect(int socket) {
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    ::connect(socket, &unspecified, sizeof unspecified);
}

}  // namespace

int socket(int domain, int type, int protocol) {
    return ::socket(domain, type | SOCK_CLOEXEC, protocol);
}

int bind(int socket, const sockaddr* address, socklen_t length) {
    return ::bind(socket, address, length);
}

int listen(int socket, int backlog) {
    return ::listen(socket, backlog);
}

int accept(int socket, sockaddr* address, socklen_t* length) {
    // The listening socket is made non-blocking for good, so that a connection taken by another
    // thread between the wait and accept4 cannot leave this one blocked where no stop reaches
    // it. Callers still see a blocking accept.
    int mode = fcntl(socket, F_GETFL);
    if (mode < 0)
        return -1;
    if ((mode & O_NONBLOCK) == 0 && fcntl(socket, F_SETFL, mode | O_NONBLOCK) < 0)
        return -1;
    for (;;) {
        if (!WaitForFd(socket, POLLIN))
            return -1;
        int result = ::accept4(socket, address, length, SOCK_CLOEXEC);
        if (result >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return result;
    }
}

int connect(int socket, const sockaddr* address, socklen_t length, bigtime_t deadline) {
    ThrowIfStopping();
    int mode = fcntl(socket, F_GETFL);
    if (mode < 0)
        return -1;
    if ((mode & O_NONBLOCK) != 0)
        return ::connect(socket, address, length);
    if (fcntl(socket, F_SETFL, mode | O_NONBLOCK) < 0)
        return -1;
    ModeRestorer restorer(socket, mode);

    if (::connect(socket, address, length) == 0)
        return 0;
    // An interrupted connect goes on in the background, just like one in progress.
    if (errno != EINPROGRESS && errno != EINTR)
        return -1;
    try {
        if (!WaitForFd(socket, POLLOUT, deadline)) {
            CancelConnect(socket);
            errno = ETIMEDOUT;
            return -1;
        }
    } catch (const ThreadStopped&) {
        CancelConnect(socket);
        throw;
    }
    int error = 0;
    socklen_t errorLength = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &errorLength) < 0)
        return -1;
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

ssize_t send(int socket, const void* data, size_t length, int flags) {
    for (;;) {
        ssize_t result = ::send(socket, data, length, flags | MSG_NOSIGNAL);
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

ssize_t recv(int socket, void* buffer, size_t length, int flags) {
    bool wait = (flags & MSG_DONTWAIT) == 0;
    for (;;) {
        if (wait && !WaitForFd(socket, POLLIN))
            return -1;
        ssize_t result = ::recv(socket, buffer, length, flags | MSG_DONTWAIT);
        if (result >= 0)
            return result;
        if (errno == EINTR)
            continue;
        if (!wait || (errno != EAGAIN && errno != EWOULDBLOCK))
            return -1;
    }
}

int closesocket(int socket) {
    return close(socket);
}

int setsockopt(int socket, int level, int option, const void* value, socklen_t length) {
    return ::setsockopt(socket, level, option, value, length);
}

status_t ResolveHost(const char* name, bool numericOnly, uint16 port,
                     std::vector<SocketAddress>* addresses) {
    if (addresses == nullptr)
        return B_BAD_VALUE;
    if (name == nullptr || name[0] == '\0')
        return B_NAME_NOT_FOUND;
    ThrowIfStopping();
    auto lookup = std::make_shared<Lookup>();
    if (lookup->event < 0)
        return B_NO_MEMORY;
    lookup->name = name;
    lookup->numericOnly = numericOnly;
    lookup->port = port;
    try {
        std::thread(RunLookup, lookup).detach();
    } catch (const std::system_error&) {
        return B_NO_MEMORY;
    }
    for (;;) {
        if (!WaitForFd(lookup->event, POLLIN))
            return B_ERROR;
        std::lock_guard lock(lookup->mutex);
        if (!lookup->done)
            continue;
        if (lookup->found.empty())
            return B_NAME_NOT_FOUND;
        *addresses = std::move(lookup->found);
        return B_OK;
    }
}

std::vector<InterfaceAddress> InterfaceAddresses() {
    std::vector<InterfaceAddress> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0)
            continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        InterfaceAddress address{entry->ifa_name, {}};
        address.address.length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        std::memcpy(&address.address.storage, entry->ifa_addr, address.address.length);
        found.push_back(std::move(address));
    }
    freeifaddrs(list);
    return found;
}

uint16 HostToNetwork16(uint16 value) {
    return htons(value);
}

uint32 HostToNetwork32(uint32 value) {
    return htonl(value);
}

}  // namespace kit
