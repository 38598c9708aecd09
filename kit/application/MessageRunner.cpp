#include "kit/application/MessageRunner.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

struct BMessageRunner::Entry {
    BMessenger target;
    BMessage message;
    bigtime_t interval;
    int32 remaining;  // -1: without end
};

namespace {

// One thread sends for every runner, in deadline order.
class RunnerService {
public:
    RunnerService() : fThread([this] { Serve(); }) {}
    ~RunnerService() {
        {
            std::lock_guard lock(fMutex);
            fEnding = true;
        }
        fChanged.notify_all();
        fThread.join();
    }

    void Add(const std::shared_ptr<BMessageRunner::Entry>& entry) {
        {
            std::lock_guard lock(fMutex);
            fSchedule.emplace(system_time() + entry->interval, entry);
        }
        fChanged.notify_all();
    }

    // Sends happen under fMutex, so once this returns the entry sends nothing more.
    void Remove(const std::shared_ptr<BMessageRunner::Entry>& entry) {
        std::lock_guard lock(fMutex);
        for (auto it = fSchedule.begin(); it != fSchedule.end(); ++it) {
            if (it->second == entry) {
                fSchedule.erase(it);
                return;
            }
        }
    }

private:
    void Serve() {
        std::unique_lock lock(fMutex);
        while (!fEnding) {
            if (fSchedule.empty()) {
                fChanged.wait(lock);
                continue;
            }
            auto first = fSchedule.begin();
            const bigtime_t due = first->first;
            const bigtime_t now = system_time();
            if (due > now) {
                fChanged.wait_for(lock, std::chrono::microseconds(due - now));
                continue;
            }
            std::shared_ptr<BMessageRunner::Entry> entry = first->second;
            fSchedule.erase(first);
            entry->target.SendMessage(&entry->message);
            if (entry->remaining > 0)
                --entry->remaining;
            if (entry->remaining != 0) {
                // A late tick is not made up for: the next one is an interval after this one.
                fSchedule.emplace(std::max(due + entry->interval, now), entry);
            }
        }
    }

    std::mutex fMutex;  // guards fSchedule, fEnding and every entry's count
    std::condition_variable fChanged;
    std::multimap<bigtime_t, std::shared_ptr<BMessageRunner::Entry>> fSchedule;
    bool fEnding = false;
    std::thread fThread;
};

RunnerService& Service() {
    static RunnerService service;
    return service;
}

}  // namespace

BMessageRunner::BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
                               int32 count) {
    if (message == nullptr || interval <= 0 || count == 0)
        return;
    fEntry = std::make_shared<Entry>(Entry{std::move(target), *message, interval, count});
    Service().Add(fEntry);
}

BMessageRunner::~BMessageRunner() {
    if (fEntry)
        Service().Remove(fEntry);
}
