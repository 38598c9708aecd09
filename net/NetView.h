// NetView: the program's one TCP link to a peer, as server (it accepted the peer on port 1777) or
// client (it connected). It listens from construction on, in its "Listen loop" thread; the
// connect dialog starts its "Message loop" thread to connect instead. Whichever thread made the
// link reads it, sends what the socket could not take at once, and reports what arrives, by
// message only, to the board, the main window and the dialog of the current attempt.
//
// Threads: built and destroyed on the main window's side; DisConnect, DisListen, SendMessage and
// IsCurrentLink may be called from any window thread at any time. SendMessage never waits for the
// network; DisConnect and DisListen wait only for the link's own threads to stop, and the
// destructor gives a peer that is behind at most kQuitFlushWait to take what waits for it. Every
// report to the board names the link it came from (FIELD_LINK), so that one from a link that has
// ended meanwhile is told apart. linkState is atomic; the socket fields, the thread fields, the
// messages waiting to be sent and every change of state are guarded by linkLock, which is never
// held while a thread blocks in accept, connect, recv or an alert, while a thread is being
// stopped, or while a report is posted (a post may wait on a full queue whose owner waits for this
// lock). Ending a link and restarting the listen loop hold threadsLock throughout, so that one
// listen loop runs at a time; the link's own threads never take it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "kit/application/Messenger.h"
#include "kit/kernel/Checks.h"
#include "kit/kernel/StopPoint.h"
#include "net/Outbox.h"

// The link's TCP port, on both sides.
constexpr uint16 NET_PORT = 1777;

class NetView {
public:
    // The points at which this side may end a link under one of its threads (a reader that has
    // read and not yet reported, a thread whose peer answered and whose link is not yet up), and
    // the one at which another program may take the port (bound, not yet listening).
    enum class RacePoint { BeforeReport, BeforeBringUp, BeforeListen };
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
    // 1777 cannot be bound, or another socket listens on it first, it reports LINK_PORT_IN_USE and
    // tries again every two seconds.
    bool ListenForConnections();
    // End the link: the peer is told when one is up; DisConnect closes the client socket and
    // stops the "Message loop" thread, DisListen the server socket and the "Listen loop". Ending
    // a link that was up reports MSG_LINK_DOWN to the main window, and MSG_UNDELIVERED with the
    // number of messages that did not go out whole, when there are any.
    void DisConnect(bool stopThread, bool restartListen);
    void DisListen(bool stopThread, bool restartListen);
    // Sends text on the link when one is up: 1. The message goes out whole, in order and in sends
    // of its own; what the socket cannot take at once goes later, from the reader. -1, sending
    // nothing, without a link, once the connection broke, or once the peer is too far behind.
    int SendMessage(const char* text);
    // Whether report, posted by this link to the board, comes from the link that is up now.
    bool IsCurrentLink(const BMessage* report);

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
    // How long quitting waits for a peer that is behind to take what waits for it, "DIS" last.
    static constexpr bigtime_t kQuitFlushWait = 1000000;

private:
    enum class Side { Client, Server };
    void EndLink(Side side, bool stopThread, bool restartListen, bigtime_t flushWait = 0);
    // Under threadsLock: stops the listen loop that runs, if any, and starts a new one.
    void RestartListenLoop();
    // A socket bound to port 1777 and listening; -1 while the port is taken.
    int OpenListener();
    // Gives a peer that is behind up to wait to take what waits for it on socket.
    void FlushFor(int socket, bigtime_t wait);
    // Tells the dialog the attempt failed and shows the failure alert.
    void Refuse();
    // Stores a link that came up on this thread and returns its number; 0 when the link was let
    // go meanwhile.
    int32 BringUp(Side side, int socket);
    // The receive loop: reads socket, the link numbered link, reports what arrives and sends
    // what waits for the peer, until the link ends.
    void LoopMessages(int socket, int32 link);
    // Whether the thread reading socket still owns a link that is up.
    bool StillReading(int socket);
    // Posts message to target while the link on socket is up; false, posting nothing, once it
    // ended. Reports to the board carry the link's number.
    bool Report(int socket, int32 link, BMessenger* target, BMessage message);
    bool Report(int socket, int32 link, BMessenger* target, uint32 what) {
        return Report(socket, link, target, BMessage(what));
    }
    // Under linkLock: sends message after those still waiting, keeping what the socket cannot
    // take; false when the connection is broken.
    bool Queue(int socket, std::string message);
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

    std::mutex threadsLock;      // held while a link ends or the listen loop restarts
    kit::CheckedMutex linkLock;  // guards the fields below and every change of linkState
    int clientSocket = -1;
    int serverSocket = -1;
    thread_id msgThread = -1;
    thread_id listenThread = -1;
    int32 linkNumber = 0;      // the link that came up last, counted from 1
    kit::ThreadHandle reader;  // woken when bytes wait to be sent
    protocol::Outbox unsent;   // messages the socket has not taken yet, oldest first
    bool peerStalled = false;  // the peer left more than kMaxUnsent unread
    bool sendBroken = false;   // a send failed: the connection takes nothing more
};
