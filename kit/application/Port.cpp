#include "kit/application/Port.h"

namespace kit {

status_t Port::Push(Envelope envelope, bigtime_t timeout, bool force) {
    const bigtime_t deadline =
        timeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT : system_time() + timeout;
    std::unique_lock lock(fMutex);
    const bool mayWait = !force && CurrentThreadIsSpawned() && find_thread(nullptr) != fOwner;
    for (;;) {
        if (fClosed)
            return B_BAD_PORT_ID;
        if (fQueue.size() < kCapacity || !mayWait)
            break;
        if (timeout == 0)
            return B_WOULD_BLOCK;
        fBlockedSenders.push_back(CurrentThread());
        lock.unlock();
        // A stop here unwinds with the lock released; the stale entry only costs a wake-up.
        const bool woken = ParkUntil(deadline);
        lock.lock();
        if (!woken)
            return B_TIMED_OUT;
    }
    const bool wasEmpty = fQueue.empty();
    fQueue.push_back(std::move(envelope));
    std::function<void()> hook = wasEmpty ? fArrivalHook : nullptr;
    lock.unlock();
    fArrived.notify_one();
    if (hook)
        hook();
    return B_OK;
}

void Port::ReleaseBlockedSenders(std::unique_lock<std::mutex>& lock) {
    std::vector<ThreadHandle> blocked;
    blocked.swap(fBlockedSenders);
    lock.unlock();
    for (const ThreadHandle& sender : blocked)
        Unpark(sender);
}

bool Port::WaitAndTake(std::deque<Envelope>& batch) {
    std::unique_lock lock(fMutex);
    fArrived.wait(lock, [&] { return fClosed || !fQueue.empty(); });
    if (fClosed)
        return false;
    batch.swap(fQueue);
    ReleaseBlockedSenders(lock);
    return true;
}

void Port::Take(std::deque<Envelope>& batch) {
    std::unique_lock lock(fMutex);
    batch.swap(fQueue);
    ReleaseBlockedSenders(lock);
}

void Port::Close() {
    std::unique_lock lock(fMutex);
    fClosed = true;
    std::deque<Envelope> dropped;
    dropped.swap(fQueue);
    ReleaseBlockedSenders(lock);
    fArrived.notify_all();
}

bool Port::IsOpen() const {
    std::lock_guard lock(fMutex);
    return !fClosed;
}

void Port::SetOwner(thread_id owner) {
    std::lock_guard lock(fMutex);
    fOwner = owner;
}

void Port::SetArrivalHook(std::function<void()> hook) {
    std::lock_guard lock(fMutex);
    fArrivalHook = std::move(hook);
}

}  // namespace kit
