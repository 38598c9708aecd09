#include "net/PortMapper.h"

#include <condition_variable>
#include <mutex>

#include "net/RouterClient.h"

using portmap::Clock;
using portmap::MappingSchedule;

struct PortMapper::Shared {
    const uint16_t port;
    const portmap::Seconds lease;

    std::mutex lock;  // guards the fields below
    std::condition_variable changed;
    bool listening = false;
    bool quitting = false;
    // The thread is in the discovery, which maps nothing and cannot be cut short: quitting does
    // not wait for it.
    bool finding = false;
    bool done = false;
    portmap::RouterState state;
};

PortMapper::PortMapper(uint16_t port, portmap::Seconds lease)
    : shared(std::make_shared<Shared>(port, lease)), thread(Run, shared) {}

PortMapper::~PortMapper() {
    std::unique_lock lock(shared->lock);
    shared->quitting = true;
    shared->changed.notify_all();
    shared->changed.wait_for(lock, kQuitWait, [&] { return shared->done || shared->finding; });
    const bool done = shared->done;
    lock.unlock();
    if (done)
        thread.join();
    else
        thread.detach();
}

void PortMapper::SetListening(bool listening) {
    std::lock_guard lock(shared->lock);
    if (shared->listening == listening)
        return;
    shared->listening = listening;
    shared->changed.notify_all();
}

portmap::RouterState PortMapper::State() const {
    std::lock_guard lock(shared->lock);
    return shared->state;
}

void PortMapper::Run(std::shared_ptr<Shared> shared) {
    RouterClient router;
    MappingSchedule schedule;
    std::unique_lock lock(shared->lock);
    while (!shared->quitting) {
        schedule.SetListening(shared->listening);
        const auto step = schedule.Next(Clock::now());
        if (step == MappingSchedule::Step::Wait) {
            const Clock::time_point due = schedule.Due();
            if (due == Clock::time_point::max())
                shared->changed.wait(lock);
            else
                shared->changed.wait_until(lock, due);
            continue;
        }
        if (step == MappingSchedule::Step::Map) {
            shared->finding = true;
            lock.unlock();
            router.Find();
            lock.lock();
            shared->finding = false;
            if (shared->quitting)
                break;
            lock.unlock();
            const RouterClient::Answer answer = router.Map(shared->port, shared->lease);
            if (answer.state.outcome == portmap::Outcome::Open)
                schedule.Granted(Clock::now(), answer.lease);
            else
                schedule.Failed();
            lock.lock();
            shared->state = answer.state;
        } else if (step == MappingSchedule::Step::Renew) {
            lock.unlock();
            const std::optional<portmap::Seconds> lease = router.Renew(shared->port, shared->lease);
            if (lease)
                schedule.Granted(Clock::now(), *lease);
            else
                schedule.Failed();
            lock.lock();
            if (!lease)
                shared->state.outcome = portmap::Outcome::Refused;
        } else {
            lock.unlock();
            router.Remove(shared->port);
            schedule.Removed();
            lock.lock();
        }
    }
    if (lock.owns_lock())
        lock.unlock();
    if (schedule.Mapped())
        router.Remove(shared->port);
    lock.lock();
    shared->done = true;
    shared->changed.notify_all();
}
