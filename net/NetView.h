// NetView: the program's one TCP link to a peer, as server (it accepted the peer on port 1777) or
// client (it connected). It listens from construction on, in its "Listen loop" thread; the
// connect dialog starts its "Message loop" thread to connect instead. Whichever thread made the
// link reads it, sends what the socket could not take at once, and reports what arrives, by
// message only, to the board, the main window and the dialog of the current attempt.
//
// Threads: built and destroyed on the main window's side; DisConnect, DisListen and SendMessage
// may be called from any window thread at any time, and never wait for the network. linkState is
// atomic; the socket fields, the thread fields, the bytes waiting to be sent and every change of
// state are guarded by linkLock, which is never held while a thread blocks in accept, connect,
// recv or an alert, while a thread is being stopped, or while a report is posted (a post may wait
// on a full queue whose owner waits for this lock).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "kit/application/Messenger.h"
#include "kit/kernel/Checks.h"
#include "kit/kernel/StopPoint.h"

// The link's TCP port, on both sides.
constexpr uint16 NET_PORT = 1777;
// The socket argument by which the receive loop is told to read the client socket. Negative, so
// that no real descriptor is ever taken for it.
constexpr int USE_CLIENT_SOCKET = -999;

class NetView {
public:
    // The points at which this side may end a link under one of its threads: a reader that has
    // read and not yet reported, a thread whose peer answered and whose link is not yet up.
    enum class RacePoint { BeforeReport, BeforeBringUp };
    // Called on the link's threads at those points, so that a test can hold a thread there.
    using RaceSeam = std::function<void(RacePoint)>;

    // Takes the messengers to the board and to the main window, and starts listening.
    NetView(std::unique_ptr<BMessenger> board, std::unique_ptr<BMessenger> main,
            RaceSeam seam = nullptr);
    // Ends any link (the peer is told), stops both threads and starts none.
    ~NetView();
    NetView(const NetView&) = delete;
    NetView& operator=(const NetView&) = delete;

    // On the "Message loop" thread: connects to address and reads the link until it ends; true
    // when a link was made.
    bool ConnectToIP(const char* address);
    // On the "Listen loop" thread: waits for a peer and reads the link until it ends. While port
    // 1777 cannot be bound it reports LINK_PORT_IN_USE and tries again every two seconds.
    bool ListenForConnections();
    // End the link: the peer is told when one is up; DisConnect closes the client socket and
    // stops the "Message loop" thread, DisListen the server socket and the "Listen loop". Ending
    // a link that was up reports MSG_LINK_DOWN to the main window.
    void DisConnect(bool stopThread, bool restartListen);
    void DisListen(bool stopThread, bool restartListen);
    // Reads the client link (USE_CLIENT_SOCKET) until it ends; false then, true at once when
    // there is none.
    bool LoopMessages(int socket);
    // Sends text on the link when one is up: 1. The bytes go out whole and in order, those the
    // socket cannot take at once later, from the reader. -1, sending nothing, without a link.
    int SendMessage(const char* text);

    static int32 listenloop(void* data);
    static int32 msgloop(void* data);

    // Copies the address to connect to into addressBuffer. An address longer than 99 bytes does
    // not fit: the next attempt is refused as one that does not resolve.
    void SetAddress(const char* address);
    // The address as it was given to SetAddress, whole.
    const char* Address() const { return typedAddress.c_str(); }
    // Spawns the "Message loop" thread (not yet resumed) and keeps it in msgThread.
    thread_id SpawnMessageLoop();

    // Written by the connect dialog before it starts the "Message loop" thread, read by it.
    std::unique_ptr<BMessenger> dialogMessenger;
    char addressBuffer[100] = "";
    // Set at construction, never changed.
    const std::unique_ptr<BMessenger> boardMessenger;
    const std::unique_ptr<BMessenger> mainMessenger;

    std::atomic<int32> linkState;

    // A peer that leaves more than this unread is gone.
    static constexpr size_t kMaxUnsent = 256 * 1024;

private:
    enum class Side { Client, Server };
    void EndLink(Side side, bool stopThread, bool restartListen);
    void StartListenThread();
    // Tells the dialog the attempt failed and shows the failure alert.
    void Refuse();
    // Stores a link that came up on this thread; false when the link was let go meanwhile.
    bool BringUp(Side side, int socket);
    // Reads socket, and sends what waits for it, until the link ends.
    void ReadLink(int socket);
    // Whether the thread reading socket still owns a link that is up.
    bool StillReading(int socket);
    // Posts what to target while the link on socket is up; false, posting nothing, once it ended.
    bool Report(int socket, BMessenger* target, uint32 what);
    // Under linkLock: sends bytes after those still waiting, keeping what the socket cannot take.
    void Queue(int socket, std::string_view bytes);
    // Under linkLock: gives the socket what waits, as far as it takes it without waiting.
    void Flush(int socket);
    void Post(BMessenger* target, uint32 what);

    void Pass(RacePoint point) {
        if (raceSeam)
            raceSeam(point);
    }

    const RaceSeam raceSeam;
    // Written by the dialog with addressBuffer.
    std::string typedAddress;
    bool addressTooLong = false;

    // Under linkLock: the link's new state.
    void SetState(int32 state) {
        KIT_CHECK(linkLock.HeldByCaller());
        linkState = state;
    }

    kit::CheckedMutex linkLock;  // guards the fields below and every change of linkState
    int clientSocket = -1;
    int serverSocket = -1;
    thread_id msgThread = -1;
    thread_id listenThread = -1;
    kit::ThreadHandle reader;  // woken when bytes wait to be sent
    std::string unsent;        // bytes the socket has not taken yet, oldest first
    bool peerStalled = false;  // the peer left more than kMaxUnsent unread
};
