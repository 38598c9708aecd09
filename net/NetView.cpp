#include "net/NetView.h"

#include <netinet/tcp.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kit/interface/Alert.h"
#include "kit/network/Socket.h"
#include "messages/Messages.h"
#include "net/Addresses.h"
#include "net/Protocol.h"

namespace {

// A socket that closes itself unless it is handed on: the listening socket goes back to the
// system however the listen loop ends, stopped included.
class OwnedSocket {
public:
    explicit OwnedSocket(int socket) : fSocket(socket) {}
    ~OwnedSocket() { Close(); }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;

    int Get() const { return fSocket; }
    int Release() { return std::exchange(fSocket, -1); }
    void Close() {
        if (fSocket >= 0)
            kit::closesocket(Release());
    }

private:
    int fSocket;
};

// A peer whose machine vanished is noticed within about a minute.
void KeepAlive(int socket) {
    const int on = 1, idle = 30, interval = 10, probes = 3;
    kit::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

constexpr bigtime_t kAcceptRetryPause = 100000;
constexpr bigtime_t kBindRetryPause = 2000000;

// A socket bound to port 1777 on every address, ready to listen: IPv6 and IPv4 at once where the
// system has IPv6, IPv4 alone where it has not. -1 when the port is taken. Another program's
// socket may still bind beside it until it listens (both ask for SO_REUSEADDR).
int BoundListener() {
    for (const int family : {AF_INET6, AF_INET}) {
        OwnedSocket listening(kit::socket(family, SOCK_STREAM, 0));
        if (listening.Get() < 0)
            continue;
        const int on = 1, off = 0;
        kit::setsockopt(listening.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        kit::SocketAddress any;
        if (family == AF_INET6) {
            kit::setsockopt(listening.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            auto* address = reinterpret_cast<sockaddr_in6*>(&any.storage);
            address->sin6_family = AF_INET6;
            address->sin6_addr = in6addr_any;
            address->sin6_port = kit::HostToNetwork16(NET_PORT);
            any.length = sizeof *address;
        } else {
            auto* address = reinterpret_cast<sockaddr_in*>(&any.storage);
            address->sin_family = AF_INET;
            address->sin_addr.s_addr = kit::HostToNetwork32(INADDR_ANY);
            address->sin_port = kit::HostToNetwork16(NET_PORT);
            any.length = sizeof *address;
        }
        if (kit::bind(listening.Get(), any.Get(), any.length) == 0)
            return listening.Release();
        if (errno == EADDRINUSE)
            return -1;
    }
    return -1;
}

// Each address a name gave is tried for this long while another one is left to try; the last
// one gets longer, for a slow network, but not the system's minutes.
constexpr bigtime_t kConnectWait = 5000000;
constexpr bigtime_t kLastConnectWait = 30000000;

}  // namespace

NetView::NetView(std::unique_ptr<BMessenger> board, std::unique_ptr<BMessenger> main, RaceSeam seam)
    : boardMessenger(std::move(board)),
      mainMessenger(std::move(main)),
      linkState(LINK_NOT_CONNECTED),
      raceSeam(std::move(seam)) {
    std::lock_guard serial(threadsLock);
    RestartListenLoop();
}

NetView::~NetView() {
    Post(mainMessenger.get(), MSG_RESET_SCORE);
    EndLink(Side::Client, true, false, kQuitFlushWait);
    EndLink(Side::Server, true, false, kQuitFlushWait);
}

void NetView::Post(BMessenger* target, uint32 what) {
    if (target != nullptr)
        target->SendMessage(what);
}

void NetView::RestartListenLoop() {
    // One listen loop at a time: one still running (the board and the connect dialog both restart
    // listening when a peer comes and goes at once) would hold the port, and every new one fail
    // to bind. threadsLock keeps a second restart out until this one has stored its thread.
    thread_id previous;
    int previousSocket = -1;
    {
        std::lock_guard lock(linkLock);
        previous = std::exchange(listenThread, -1);
        if (previous >= 0 && linkState == LINK_NOT_CONNECTED)
            previousSocket = std::exchange(serverSocket, -1);
    }
    if (previous >= 0) {
        kill_thread(previous);
        if (previousSocket >= 0)
            kit::closesocket(previousSocket);
    }
    thread_id thread;
    {
        std::lock_guard lock(linkLock);
        thread = listenThread =
            spawn_thread(listenloop, "Listen loop", B_URGENT_DISPLAY_PRIORITY, this);
    }
    resume_thread(thread);
}

thread_id NetView::SpawnMessageLoop() {
    std::lock_guard lock(linkLock);
    return msgThread = spawn_thread(msgloop, "Message loop", B_URGENT_DISPLAY_PRIORITY, this);
}

void NetView::SetAddress(const char* address) {
    typedAddress = address != nullptr ? address : "";
    const size_t length = address != nullptr ? std::strlen(address) : 0;
    addressTooLong = length >= sizeof addressBuffer;
    const size_t kept = addressTooLong ? sizeof addressBuffer - 1 : length;
    std::memcpy(addressBuffer, address != nullptr ? address : "", kept);
    addressBuffer[kept] = '\0';
}

int32 NetView::listenloop(void* data) {
    static_cast<NetView*>(data)->ListenForConnections();
    return 0;
}

int32 NetView::msgloop(void* data) {
    auto* link = static_cast<NetView*>(data);
    link->ConnectToIP(link->addressTooLong ? nullptr : link->addressBuffer);
    return 0;
}

bool NetView::ConnectToIP(const char* address) {
    const std::optional<addresses::HostQuery> query =
        address != nullptr ? addresses::ReadAddressField(address) : std::nullopt;
    std::vector<kit::SocketAddress> peers;
    if (!query ||
        kit::ResolveHost(query->host.c_str(), query->numericOnly, NET_PORT, &peers) != B_OK) {
        Refuse();
        return false;
    }
    Post(dialogMessenger.get(), LINK_NOT_CONNECTED);

    // The addresses in the resolver's order, each for a bounded time, until one answers.
    for (const kit::SocketAddress& peer : peers) {
        const bigtime_t wait = &peer == &peers.back() ? kLastConnectWait : kConnectWait;
        OwnedSocket connecting(kit::socket(peer.Family(), SOCK_STREAM, 0));
        if (connecting.Get() < 0 ||
            kit::connect(connecting.Get(), peer.Get(), peer.length, system_time() + wait) < 0)
            continue;
        KeepAlive(connecting.Get());
        Pass(RacePoint::BeforeBringUp);
        const int32 link = BringUp(Side::Client, connecting.Get());
        if (link == 0)
            return false;
        const int socket = connecting.Release();
        if (Report(socket, link, boardMessenger.get(), MSG_NET_GAME_START) &&
            Report(socket, link, dialogMessenger.get(), MSG_NET_GAME_START) &&
            Report(socket, link, mainMessenger.get(), LINK_CLIENT) &&
            Report(socket, link, mainMessenger.get(), MSG_LINK_UP))
            LoopMessages(socket, link);
        return true;
    }
    Refuse();
    return false;
}

void NetView::Refuse() {
    Post(dialogMessenger.get(), MSG_NET_GAME_END);
    (new BAlert("fel", "Could'nt connect to the IP", "OK", nullptr, nullptr, B_WIDTH_AS_USUAL,
                B_INFO_ALERT))
        ->Go();
}

int32 NetView::BringUp(Side side, int socket) {
    std::lock_guard lock(linkLock);
    // DisConnect or DisListen has already let go of this thread: the link is not to come up.
    if ((side == Side::Client ? msgThread : listenThread) != find_thread(nullptr))
        return 0;
    (side == Side::Client ? clientSocket : serverSocket) = socket;
    reader = kit::CurrentThread();
    unsent.Clear();
    peerStalled = false;
    sendBroken = false;
    if (side == Side::Server)
        Queue(socket, protocol::Greeting());
    SetState(side == Side::Client ? LINK_CLIENT : LINK_SERVER);
    return ++linkNumber;
}

int NetView::OpenListener() {
    OwnedSocket listening(BoundListener());
    if (listening.Get() < 0)
        return -1;
    Pass(RacePoint::BeforeListen);
    // Two programs that bound the port at once both get it; only the first to listen keeps it.
    if (kit::listen(listening.Get(), 1) != 0)
        return -1;
    return listening.Release();
}

bool NetView::ListenForConnections() {
    // While another program holds the port, the status says so and the loop tries again.
    int bound;
    for (bool reported = false; (bound = OpenListener()) < 0; reported = true) {
        if (!reported)
            Post(mainMessenger.get(), LINK_PORT_IN_USE);
        snooze(kBindRetryPause);
    }
    OwnedSocket listening(bound);

    int peerSocket;
    for (;;) {
        Post(mainMessenger.get(), LINK_LISTENING);
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        peerSocket = kit::accept(listening.Get(), reinterpret_cast<sockaddr*>(&peer), &length);
        if (peerSocket >= 0)
            break;
        // A run of failures is paced, so that the main window is not flooded with reports.
        snooze(kAcceptRetryPause);
    }
    OwnedSocket accepted(peerSocket);
    KeepAlive(accepted.Get());
    Pass(RacePoint::BeforeBringUp);
    const int32 link = BringUp(Side::Server, accepted.Get());
    if (link == 0)
        return false;
    const int socket = accepted.Release();
    if (!Report(socket, link, boardMessenger.get(), MSG_NET_GAME_START))
        return false;
    listening.Close();
    if (Report(socket, link, mainMessenger.get(), LINK_SERVER) &&
        Report(socket, link, mainMessenger.get(), MSG_LINK_UP))
        LoopMessages(socket, link);
    return false;
}

bool NetView::StillReading(int socket) {
    std::lock_guard lock(linkLock);
    return linkState != LINK_NOT_CONNECTED && (socket == clientSocket || socket == serverSocket);
}

bool NetView::Report(int socket, int32 link, BMessenger* target, BMessage message) {
    // Ending the link waits for this thread before it reports the end, so a report that passes
    // this check arrives before that end, and none after it.
    if (!StillReading(socket))
        return false;
    if (target != nullptr) {
        if (target == boardMessenger.get())
            message.AddInt32(FIELD_LINK, link);
        target->SendMessage(&message);
    }
    return true;
}

bool NetView::IsCurrentLink(const BMessage* report) {
    int32 link = 0;
    if (report == nullptr || report->FindInt32(FIELD_LINK, &link) != B_OK)
        return false;
    std::lock_guard lock(linkLock);
    return linkState != LINK_NOT_CONNECTED && link == linkNumber;
}

void NetView::LoopMessages(int socket, int32 link) {
    protocol::Reader parser;
    std::vector<protocol::Received> received;
    char buffer[protocol::kReceiveSize];
    for (;;) {
        short wanted = POLLIN;
        bool stalled;
        {
            std::lock_guard lock(linkLock);
            if (!unsent.Empty())
                wanted |= POLLOUT;
            stalled = peerStalled;
        }
        received.clear();
        // A peer that leaves too much unread, closes the connection or whose connection broke is
        // gone as if it had said "DIS".
        if (stalled) {
            received.push_back({protocol::Received::Kind::End, {}, {}, {}});
        } else {
            const short events = kit::WaitForEvents(socket, wanted);
            if (events & POLLOUT) {
                std::lock_guard lock(linkLock);
                if (socket == clientSocket || socket == serverSocket)
                    Flush(socket);
            }
            if ((events & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const ssize_t count = kit::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (count > 0)
                parser.Read(std::string_view(buffer, count), received);
            else
                received.push_back({protocol::Received::Kind::End, {}, {}, {}});
        }
        Pass(RacePoint::BeforeReport);
        for (protocol::Received& item : received) {
            // Once this side ended the link, what its reader got is no longer reported.
            switch (item.kind) {
                case protocol::Received::Kind::Move: {
                    BMessage move(MSG_NET_PUT);
                    move.AddString(FIELD_PAR1, item.par1);
                    move.AddString(FIELD_PAR2, item.par2);
                    if (!Report(socket, link, boardMessenger.get(), std::move(move)))
                        return;
                    break;
                }
                case protocol::Received::Kind::Chat:
                case protocol::Received::Kind::ChatMore: {
                    BMessage chat(item.kind == protocol::Received::Kind::Chat ? MSG_CHAT_RECEIVED
                                                                              : MSG_CHAT_CONTINUED);
                    chat.AddString(FIELD_MSG, item.text);
                    if (!Report(socket, link, mainMessenger.get(), std::move(chat)))
                        return;
                    break;
                }
                case protocol::Received::Kind::End:
                    if (Report(socket, link, boardMessenger.get(), MSG_NET_GAME_END))
                        Post(mainMessenger.get(), MSG_LINK_DOWN);
                    return;
            }
        }
    }
}

namespace {

// What a socket takes now without waiting; nothing once the connection is broken.
protocol::Outbox::Send SendOn(int socket) {
    return [socket](std::string_view bytes) -> std::optional<size_t> {
        const ssize_t sent = kit::send(socket, bytes.data(), bytes.size(), MSG_DONTWAIT);
        if (sent >= 0)
            return static_cast<size_t>(sent);
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return 0;
        return std::nullopt;
    };
}

}  // namespace

bool NetView::Queue(int socket, std::string message) {
    KIT_CHECK(linkLock.HeldByCaller());
    if (socket < 0 || sendBroken)
        return false;
    const bool waited = !unsent.Empty();
    // A broken connection takes nothing more; its reader reports the peer gone.
    sendBroken = unsent.Add(std::move(message), SendOn(socket)) == protocol::Outbox::State::Broken;
    if (sendBroken)
        return false;
    peerStalled = unsent.Bytes() > kMaxUnsent;
    if (!waited && !unsent.Empty())
        kit::Unpark(reader);
    return true;
}

void NetView::Flush(int socket) {
    KIT_CHECK(linkLock.HeldByCaller());
    if (!sendBroken)
        sendBroken = unsent.Flush(SendOn(socket)) == protocol::Outbox::State::Broken;
}

int NetView::SendMessage(const char* text) {
    if (text == nullptr)
        return -1;
    std::lock_guard lock(linkLock);
    // A peer too far behind is about to be given up: what is sent now would be lost.
    if (peerStalled)
        return -1;
    bool queued = false;
    if (linkState == LINK_CLIENT)
        queued = Queue(clientSocket, text);
    else if (linkState == LINK_SERVER)
        queued = Queue(serverSocket, text);
    return queued ? 1 : -1;
}

void NetView::DisConnect(bool stopThread, bool restartListen) {
    EndLink(Side::Client, stopThread, restartListen);
}

void NetView::DisListen(bool stopThread, bool restartListen) {
    EndLink(Side::Server, stopThread, restartListen);
}

void NetView::EndLink(Side side, bool stopThread, bool restartListen, bigtime_t flushWait) {
    std::lock_guard serial(threadsLock);
    int& ownSocket = side == Side::Client ? clientSocket : serverSocket;
    thread_id& ownThread = side == Side::Client ? msgThread : listenThread;
    int socket;
    int up = -1;
    thread_id thread = -1;
    bool wasUp;
    bool endQueued = false;
    {
        std::lock_guard lock(linkLock);
        wasUp = linkState != LINK_NOT_CONNECTED;
        if (wasUp) {
            // "DIS" goes after whatever still waits.
            up = linkState == LINK_CLIENT ? clientSocket : serverSocket;
            endQueued = Queue(up, protocol::End());
            Flush(up);
        }
        SetState(LINK_NOT_CONNECTED);
        socket = std::exchange(ownSocket, -1);
        if (stopThread)
            thread = std::exchange(ownThread, -1);
    }
    // The socket is still open: only this side closes it, below.
    if (wasUp && flushWait > 0 && up >= 0)
        FlushFor(up, flushWait);
    size_t undelivered = 0;
    if (wasUp) {
        std::lock_guard lock(linkLock);
        // What the peer has not taken by now is lost with the link; "DIS", last in the queue when
        // it is in it, is no message of the user's.
        const size_t left = unsent.Clear();
        undelivered = left - (endQueued && left > 0 ? 1 : 0);
        peerStalled = false;
        sendBroken = false;
        reader.reset();
    }
    // The socket is closed only once its reader is gone, so that its number is never reused
    // under a reader's feet.
    if (thread >= 0) {
        suspend_thread(thread);
        kill_thread(thread);
    }
    if (socket >= 0)
        kit::closesocket(socket);
    Post(mainMessenger.get(), LINK_NOT_CONNECTED);
    if (wasUp)
        Post(mainMessenger.get(), MSG_LINK_DOWN);
    if (undelivered > 0 && mainMessenger != nullptr) {
        BMessage lost(MSG_UNDELIVERED);
        lost.AddInt32(FIELD_COUNT, static_cast<int32>(undelivered));
        mainMessenger->SendMessage(&lost);
    }
    if (restartListen)
        RestartListenLoop();
}

void NetView::FlushFor(int socket, bigtime_t wait) {
    const bigtime_t deadline = system_time() + wait;
    for (;;) {
        {
            std::lock_guard lock(linkLock);
            Flush(socket);
            if (unsent.Empty() || sendBroken)
                return;
        }
        const bigtime_t left = deadline - system_time();
        if (left <= 0)
            return;
        pollfd writable{socket, POLLOUT, 0};
        poll(&writable, 1, static_cast<int>((left + 999) / 1000));
    }
}
