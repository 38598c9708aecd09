#include "net/NetView.h"

#include <netinet/tcp.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/Constants.h"
#include "kit/interface/Alert.h"
#include "kit/network/Socket.h"
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

sockaddr_in PortAddress(in_addr_t address) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = kit::HostToNetwork16(NET_PORT);
    socketAddress.sin_addr.s_addr = address;
    return socketAddress;
}

// A peer whose machine vanished is noticed within about a minute.
void KeepAlive(int socket) {
    const int on = 1, idle = 30, interval = 10, probes = 3;
    kit::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    kit::setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

// Sends without waiting: a peer that stops reading must not hold the link lock.
void SendNow(int socket, const std::string& bytes) {
    if (socket >= 0)
        kit::send(socket, bytes.data(), bytes.size(), MSG_DONTWAIT);
}

constexpr bigtime_t kAcceptRetryPause = 100000;

}  // namespace

NetView::NetView(std::unique_ptr<BMessenger> board, std::unique_ptr<BMessenger> main)
    : boardMessenger(std::move(board)),
      mainMessenger(std::move(main)),
      linkState(LINK_NOT_CONNECTED) {
    StartListenThread();
}

NetView::~NetView() {
    Post(mainMessenger.get(), MSG_RESET_SCORE);
    DisConnect(true, false);
    DisListen(true, false);
}

void NetView::Post(BMessenger* target, uint32 what) {
    if (target != nullptr)
        target->SendMessage(what);
}

void NetView::StartListenThread() {
    // One listen loop at a time: one still running (a second "Cancel" restarts listening while
    // the first restart still listens) would hold the port, and every new one fail to bind.
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
    in_addr_t host = 0;
    if (address == nullptr || kit::ResolveHost(address, &host) != B_OK) {
        Refuse();
        return false;
    }
    const sockaddr_in peer = PortAddress(host);
    Post(dialogMessenger.get(), LINK_NOT_CONNECTED);

    OwnedSocket connecting(kit::socket(AF_INET, SOCK_STREAM, 0));
    if (connecting.Get() < 0 ||
        kit::connect(connecting.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) < 0) {
        Refuse();
        return false;
    }
    KeepAlive(connecting.Get());
    int socket;
    {
        std::lock_guard lock(linkLock);
        // DisConnect has already let go of this thread: the link is not to come up.
        if (msgThread != find_thread(nullptr))
            return false;
        socket = clientSocket = connecting.Release();
        linkState = LINK_CLIENT;
    }
    Post(boardMessenger.get(), MSG_NET_GAME_START);
    Post(dialogMessenger.get(), MSG_NET_GAME_START);
    Post(mainMessenger.get(), LINK_CLIENT);
    Post(mainMessenger.get(), MSG_LINK_UP);
    LoopMessages(socket);
    return true;
}

void NetView::Refuse() {
    Post(dialogMessenger.get(), MSG_NET_GAME_END);
    (new BAlert("fel", "Could'nt connect to the IP", "OK", nullptr, nullptr, B_WIDTH_AS_USUAL,
                B_INFO_ALERT))
        ->Go();
}

bool NetView::ListenForConnections() {
    const sockaddr_in any = PortAddress(kit::HostToNetwork32(INADDR_ANY));
    OwnedSocket listening(kit::socket(AF_INET, SOCK_STREAM, 0));
    if (listening.Get() < 0)
        return false;
    const int reuse = 1;
    kit::setsockopt(listening.Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (kit::bind(listening.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) < 0)
        return false;

    int peerSocket;
    for (;;) {
        Post(mainMessenger.get(), LINK_LISTENING);
        kit::listen(listening.Get(), 1);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        peerSocket = kit::accept(listening.Get(), reinterpret_cast<sockaddr*>(&peer), &length);
        if (peerSocket >= 0)
            break;
        // A run of failures is paced, so that the main window is not flooded with reports.
        snooze(kAcceptRetryPause);
    }
    OwnedSocket accepted(peerSocket);
    KeepAlive(accepted.Get());
    int socket;
    {
        std::lock_guard lock(linkLock);
        // DisListen has already let go of this thread: the link is not to come up.
        if (listenThread != find_thread(nullptr))
            return false;
        socket = serverSocket = accepted.Release();
        SendNow(socket, protocol::Greeting());
        linkState = LINK_SERVER;
    }
    Post(boardMessenger.get(), MSG_NET_GAME_START);
    listening.Close();
    Post(mainMessenger.get(), LINK_SERVER);
    Post(mainMessenger.get(), MSG_LINK_UP);
    LoopMessages(socket);
    return false;
}

bool NetView::StillReading(int socket) {
    std::lock_guard lock(linkLock);
    return linkState != LINK_NOT_CONNECTED && (socket == clientSocket || socket == serverSocket);
}

bool NetView::LoopMessages(int socket) {
    if (socket == USE_CLIENT_SOCKET) {
        std::lock_guard lock(linkLock);
        socket = clientSocket;
    }
    if (socket < 0)
        return true;
    char buffer[protocol::kReceiveSize];
    for (;;) {
        const ssize_t count = kit::recv(socket, buffer, sizeof buffer, 0);
        // A peer that closed the connection, or whose connection broke, is gone as if it had
        // said "DIS".
        std::vector<protocol::Received> received;
        if (count > 0)
            received = protocol::ReadChunk(std::string_view(buffer, count));
        else
            received.push_back({protocol::Received::Kind::End, {}, {}, {}});
        for (const protocol::Received& item : received) {
            if (!StillReading(socket))
                return false;
            switch (item.kind) {
                case protocol::Received::Kind::Move: {
                    BMessage move(MSG_NET_PUT);
                    move.AddString(FIELD_PAR1, item.par1);
                    move.AddString(FIELD_PAR2, item.par2);
                    boardMessenger->SendMessage(&move);
                    break;
                }
                case protocol::Received::Kind::Chat: {
                    BMessage chat(MSG_CHAT_RECEIVED);
                    chat.AddString(FIELD_MSG, item.text);
                    mainMessenger->SendMessage(&chat);
                    break;
                }
                case protocol::Received::Kind::End:
                    Post(boardMessenger.get(), MSG_NET_GAME_END);
                    Post(mainMessenger.get(), MSG_LINK_DOWN);
                    return false;
            }
        }
    }
}

void NetView::SendMessage(const char* text) {
    if (text == nullptr)
        return;
    std::lock_guard lock(linkLock);
    if (linkState == LINK_CLIENT)
        SendNow(clientSocket, text);
    else if (linkState == LINK_SERVER)
        SendNow(serverSocket, text);
}

void NetView::DisConnect(bool stopThread, bool restartListen) {
    EndLink(Side::Client, stopThread, restartListen);
}

void NetView::DisListen(bool stopThread, bool restartListen) {
    EndLink(Side::Server, stopThread, restartListen);
}

void NetView::EndLink(Side side, bool stopThread, bool restartListen) {
    int& ownSocket = side == Side::Client ? clientSocket : serverSocket;
    thread_id& ownThread = side == Side::Client ? msgThread : listenThread;
    int socket;
    thread_id thread = -1;
    {
        std::lock_guard lock(linkLock);
        if (linkState == LINK_CLIENT)
            SendNow(clientSocket, protocol::End());
        else if (linkState == LINK_SERVER)
            SendNow(serverSocket, protocol::End());
        linkState = LINK_NOT_CONNECTED;
        socket = std::exchange(ownSocket, -1);
        if (stopThread)
            thread = std::exchange(ownThread, -1);
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
    if (restartListen)
        StartListenThread();
}
