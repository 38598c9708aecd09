#include "kit/application/Port.h"

#include <algorithm>
#include <utility>

#include "kit/kernel/WaitWord.h"

namespace kit {

namespace {
std::mutex gPortsMutex;  // guards gPorts; taken before a port's own mutex, never after it
std::vector<Port*> gPorts;
}  // namespace

Port::Port() {
    std::lock_guard lock(gPortsMutex);
    gPorts.push_back(this);
}

Port::~Port() {
    std::lock_guard lock(gPortsMutex);
    std::erase(gPorts, this);
}

void Port::WakeOwners() {
    // Held while waking, as it keeps each port alive: a wake only bumps a word, unparks a thread
    // or posts to the event loop, none of which waits or comes back here.
    std::lock_guard lock(gPortsMutex);
    for (Port* port : gPorts)
        port->WakeForTimer();
}

void Port::WakeForTimer() {
    std::unique_lock lock(fMutex);
    if (fClosed)
        return;
    Wake wake = TakeWakeLocked(true);
    lock.unlock();
    DoWake(wake);
}

status_t Port::Push(Envelope envelope, bigtime_t timeout, bool force) {
    std::unique_lock lock(fMutex);
    bigtime_t deadline = 0;
    for (bool first = true;; first = false) {
        if (fClosed)
            return B_BAD_PORT_ID;
        // Only a full queue asks who is pushing: the usual push takes no look-up.
        if (fQueue.size() < kCapacity || force || !CurrentThreadIsSpawned() ||
            find_thread(nullptr) == fOwner)
            break;
        if (timeout == 0)
            return B_WOULD_BLOCK;
        if (first)
            deadline = timeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT : system_time() + timeout;
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
    Wake wake = wasEmpty ? TakeWakeLocked(false) : Wake{};
    lock.unlock();
    DoWake(wake);
    return B_OK;
}

uint64 Port::AddTimer(const Envelope& envelope, bigtime_t interval, int32 count) {
    std::unique_lock lock(fMutex);
    if (fClosed)
        return 0;
    const uint64 id = fNextTimer++;
    Envelope queued = envelope;
    queued.timer = id;
    fTimers.push_back(Timer{id, system_time() + interval, interval, count, std::move(queued)});
    // The owner may be waiting for a later deadline, or for none.
    Wake wake = TakeWakeLocked(true);
    lock.unlock();
    DoWake(wake);
    return id;
}

void Port::RemoveTimer(uint64 timer) {
    std::lock_guard lock(fMutex);
    std::erase_if(fTimers, [&](const Timer& each) { return each.id == timer; });
}

bool Port::ClaimTimerMessage(uint64 timer) {
    std::lock_guard lock(fMutex);
    auto found = std::find_if(fTimers.begin(), fTimers.end(),
                              [&](const Timer& each) { return each.id == timer; });
    if (found == fTimers.end())
        return false;
    found->pending = false;
    // A timer that has queued its last message is done once that one is handled.
    if (found->remaining == 0)
        fTimers.erase(found);
    return true;
}

bigtime_t Port::QueueDueTimersLocked() {
    const bigtime_t now = system_time();
    for (;;) {
        // A timer whose last message waits has nothing more to queue.
        auto first = fTimers.end();
        for (auto each = fTimers.begin(); each != fTimers.end(); ++each) {
            if (each->remaining != 0 && (first == fTimers.end() || each->due < first->due))
                first = each;
        }
        if (first == fTimers.end())
            return B_INFINITE_TIMEOUT;
        if (first->due > now)
            return first->due;
        // While its message waits, a tick is skipped and not counted.
        if (!first->pending) {
            fQueue.push_back(first->envelope);
            first->pending = true;
            if (first->remaining > 0)
                --first->remaining;
        }
        // A late one is not made up for: once an interval or more has gone by since it was due,
        // the next is an interval from now.
        const bigtime_t next = first->due + first->interval;
        first->due = next > now ? next : now + first->interval;
    }
}

bigtime_t Port::QueueDueTimers() {
    std::lock_guard lock(fMutex);
    return QueueDueTimersLocked();
}

void Port::SetOwnerParked(bool parked) {
    std::lock_guard lock(fMutex);
    fOwnerParked = parked;
}

Port::Wake Port::TakeWakeLocked(bool forTimer) {
    Wake wake;
    // Once woken, the owner looks at everything: later pushes need not wake it again. A busy
    // owner is not woken at all.
    wake.waiting = std::exchange(fOwnerWaiting, false);
    if (forTimer && fOwnerParked)
        wake.parked = fOwnerThread;
    if (fWakeHook)
        wake.hook = fWakeHook;
    return wake;
}

void Port::DoWake(Wake& wake) {
    if (wake.waiting) {
        fWakeups.fetch_add(1);
        WakeAll(fWakeups);
    }
    if (wake.parked)
        Unpark(wake.parked);
    if (wake.hook)
        wake.hook();
}

void Port::ReleaseBlockedSenders(std::unique_lock<std::mutex>& lock) {
    if (fBlockedSenders.empty())
        return;
    std::vector<ThreadHandle> blocked;
    blocked.swap(fBlockedSenders);
    lock.unlock();
    for (const ThreadHandle& sender : blocked)
        Unpark(sender);
}

bool Port::WaitAndTake(std::vector<Envelope>& batch) {
    std::unique_lock lock(fMutex);
    for (;;) {
        if (fClosed)
            return false;
        const bigtime_t next = QueueDueTimersLocked();
        if (!fQueue.empty())
            break;
        // A futex rather than a condition variable: one system call to sleep, one to be woken,
        // and the mutex is not left marked as contended. A wake-up between here and the sleep
        // changes the word, so the sleep returns at once.
        const uint32 seen = fWakeups.load();
        fOwnerWaiting = true;
        lock.unlock();
        WaitWhileEqual(fWakeups, seen, next);
        lock.lock();
        fOwnerWaiting = false;
    }
    batch.swap(fQueue);
    ReleaseBlockedSenders(lock);
    return true;
}

bigtime_t Port::Take(std::vector<Envelope>& batch) {
    std::unique_lock lock(fMutex);
    const bigtime_t next = QueueDueTimersLocked();
    batch.swap(fQueue);
    ReleaseBlockedSenders(lock);
    return next;
}

void Port::Close() {
    std::unique_lock lock(fMutex);
    fClosed = true;
    std::vector<Envelope> dropped;
    dropped.swap(fQueue);
    std::vector<Timer> timers;
    timers.swap(fTimers);
    std::vector<ThreadHandle> blocked;
    blocked.swap(fBlockedSenders);
    Wake wake = TakeWakeLocked(false);
    wake.hook = nullptr;
    lock.unlock();
    DoWake(wake);
    for (const ThreadHandle& sender : blocked)
        Unpark(sender);
}

bool Port::IsOpen() const {
    std::lock_guard lock(fMutex);
    return !fClosed;
}

size_t Port::Queued() const {
    std::lock_guard lock(fMutex);
    return fQueue.size();
}

void Port::SetOwner() {
    std::lock_guard lock(fMutex);
    fOwner = find_thread(nullptr);
    fOwnerThread = CurrentThread();
}

void Port::SetWakeHook(std::function<void()> hook) {
    std::lock_guard lock(fMutex);
    fWakeHook = std::move(hook);
}

}  // namespace kit
