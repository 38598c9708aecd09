// kit::Port: a looper's message queue, shared (weakly) with every messenger that targets it.
//
// Any thread may Push. A push to a full queue (200 messages) waits only when the pushing thread
// was made with spawn_thread and is not the queue's own looper; that wait is a stop point. The
// owning looper takes the whole queue at once (Take) and dispatches outside the mutex. Once
// closed, a port refuses every push. All calls are safe from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "kit/application/Message.h"
#include "kit/kernel/StopPoint.h"

namespace kit {

struct Envelope {
    BMessage message;
    uint64 target;  // the token of the handler that gets it
};

class Port {
public:
    static constexpr size_t kCapacity = 200;

    // force: enqueue even when full, without waiting (the toolkit's own quit request).
    status_t Push(Envelope envelope, bigtime_t timeout = B_INFINITE_TIMEOUT, bool force = false);

    // Waits until messages arrive or the port closes; moves them all into batch. False once
    // closed.
    bool WaitAndTake(std::deque<Envelope>& batch);
    // Moves whatever is queued into batch without waiting.
    void Take(std::deque<Envelope>& batch);
    // Refuses later pushes, drops what waits, and lets blocked senders go.
    void Close();
    bool IsOpen() const;

    // The thread that drains this port: it never waits on its own queue.
    void SetOwner(thread_id owner);
    // Called after a push into an empty queue, outside the mutex (for a port served by an
    // event loop instead of a thread of its own).
    void SetArrivalHook(std::function<void()> hook);

private:
    void ReleaseBlockedSenders(std::unique_lock<std::mutex>& lock);

    mutable std::mutex fMutex;  // guards everything below
    std::condition_variable fArrived;
    std::deque<Envelope> fQueue;
    std::vector<ThreadHandle> fBlockedSenders;
    bool fClosed = false;
    thread_id fOwner = -1;
    std::function<void()> fArrivalHook;
};

}  // namespace kit
