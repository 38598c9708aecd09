// kit::Port: a looper's message queue and its timers, shared (weakly) with every messenger that
// targets it.
//
// Any thread may Push. A push to a full queue (200 messages) waits only when the pushing thread
// was made with spawn_thread and is not the queue's own looper; that wait is a stop point. The
// owner (the looper's thread, or the event loop that serves the port) takes the whole queue at
// once and dispatches outside the mutex; a push wakes it only when it waits. Timers (the message
// runners) have no thread of their own: the owner puts their messages in its queue when they are
// due, also while it waits in an alert. A timer keeps at most one message waiting (in the queue or
// in the owner's batch): the ticks that fall due meanwhile are skipped, so a looper held in an
// alert for hours finds one tick of each timer, not one for every interval. Before it dispatches
// a timer's message the owner claims it (ClaimTimerMessage): a message of a timer removed since
// is dropped. Once closed, a port refuses every push and drops its timers. All calls are safe from
// any thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "kit/application/Message.h"
#include "kit/kernel/StopPoint.h"

namespace kit {

struct Envelope {
    BMessage message;
    uint64 target;     // the token of the handler that gets it
    uint64 timer = 0;  // the timer that queued it; 0 for a message sent
};

class Port {
public:
    static constexpr size_t kCapacity = 200;

    Port();
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Wakes the owner of every port, as a new timer would, so that each looks at its timers
    // again: for a test that has moved the clock on (kit::AdvanceClock).
    static void WakeOwners();

    // force: enqueue even when full, without waiting (the toolkit's own quit request).
    status_t Push(Envelope envelope, bigtime_t timeout = B_INFINITE_TIMEOUT, bool force = false);

    // Queues a copy of envelope every interval, count times (-1: without end), the first one an
    // interval from now; a late one is not made up for. Its messages never wait for room.
    // Returns the timer's id, 0 when the port is closed.
    uint64 AddTimer(const Envelope& envelope, bigtime_t interval, int32 count);
    // Once this returns, the timer queues nothing more, and its message still waiting (if any)
    // is not claimed.
    void RemoveTimer(uint64 timer);
    // For the owner, before it dispatches a message that timer queued: true while the timer
    // lives, which may then queue its next message; false when it was removed (the message goes
    // nowhere).
    bool ClaimTimerMessage(uint64 timer);

    // Waits until messages are queued or due, or the port closes, and moves them all into batch,
    // which must be empty. False once closed.
    bool WaitAndTake(std::vector<Envelope>& batch);
    // Moves whatever is queued or due into batch, which must be empty, without waiting. Returns
    // when the next timer is due (B_INFINITE_TIMEOUT: none).
    bigtime_t Take(std::vector<Envelope>& batch);
    // For the owner while it waits for something else (an alert): queues the timers' messages that
    // are due and returns when the next one is. While parked is set, a new timer unparks it.
    bigtime_t QueueDueTimers();
    void SetOwnerParked(bool parked);
    // Refuses later pushes, drops what waits and the timers, and lets blocked senders go.
    void Close();
    bool IsOpen() const;
    // The messages waiting in the queue.
    size_t Queued() const;

    // The calling thread drains this port from now on. It never waits for room in its own queue.
    void SetOwner();
    // Called outside the mutex whenever the owner has to look at the port: after a push into an
    // empty queue and after a new timer (for a port served by an event loop instead of a thread).
    void SetWakeHook(std::function<void()> hook);

private:
    struct Timer {
        uint64 id;
        bigtime_t due;
        bigtime_t interval;
        int32 remaining;  // -1: without end; 0: its last message waits to be claimed
        Envelope envelope;
        bool pending = false;  // a message of it waits: none more is queued
    };
    // How to wake the owner, decided under the mutex and done after it.
    struct Wake {
        bool waiting = false;  // from WaitAndTake
        ThreadHandle parked;   // from an alert
        std::function<void()> hook;
    };

    bigtime_t QueueDueTimersLocked();
    void WakeForTimer();
    Wake TakeWakeLocked(bool forTimer);
    void DoWake(Wake& wake);
    void ReleaseBlockedSenders(std::unique_lock<std::mutex>& lock);

    mutable std::mutex fMutex;  // guards everything below
    std::vector<Envelope> fQueue;
    std::vector<Timer> fTimers;
    uint64 fNextTimer = 1;
    std::vector<ThreadHandle> fBlockedSenders;
    bool fClosed = false;
    thread_id fOwner = -1;
    ThreadHandle fOwnerThread;
    bool fOwnerWaiting = false;  // sleeps in WaitAndTake: any push or timer wakes it
    bool fOwnerParked = false;   // parked elsewhere (an alert): a new timer wakes it
    std::function<void()> fWakeHook;
    // What the owner sleeps on in WaitAndTake; bumped to wake it. Outside the mutex.
    std::atomic<uint32> fWakeups{0};
};

}  // namespace kit
