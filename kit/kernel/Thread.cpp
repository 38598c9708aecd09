#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "kit/kernel/Checks.h"
#include "kit/kernel/OS.h"
#include "kit/kernel/StopPoint.h"

namespace kit {

class ThreadRecord {
public:
    ThreadRecord(thread_id id, std::string name, bool spawned, thread_func func, void* data)
        : id(id),
          name(std::move(name)),
          spawned(spawned),
          func(func),
          data(data),
          parkFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~ThreadRecord() { close(parkFd); }

    const thread_id id;
    const std::string name;
    const bool spawned;
    const thread_func func;
    void* const data;
    const int parkFd;
    std::atomic<bool> stopping{false};

    std::mutex mutex;  // guards started, ended, exitValue
    std::condition_variable endedChanged;
    bool started = false;
    bool ended = false;
    status_t exitValue = B_OK;
};

namespace {

std::atomic<thread_id> gNextId{1};
std::mutex gThreadsMutex;  // guards gThreads and gEnded
std::unordered_map<thread_id, ThreadHandle> gThreads;
// Results of the threads that ended last, so that wait_for_thread called after a thread's end
// still gets its result.
constexpr size_t kEndedKept = 64;
std::deque<std::pair<thread_id, status_t>> gEnded;

thread_local ThreadHandle tCurrent;

ThreadHandle Find(thread_id id) {
    std::lock_guard lock(gThreadsMutex);
    auto it = gThreads.find(id);
    return it == gThreads.end() ? nullptr : it->second;
}

void Forget(thread_id id, status_t exitValue) {
    std::lock_guard lock(gThreadsMutex);
    gThreads.erase(id);
    gEnded.emplace_back(id, exitValue);
    if (gEnded.size() > kEndedKept)
        gEnded.pop_front();
}

// The result of a thread that has ended lately.
bool FindEnded(thread_id id, status_t* exitValue) {
    std::lock_guard lock(gThreadsMutex);
    for (const auto& [endedId, value] : gEnded) {
        if (endedId != id)
            continue;
        if (exitValue)
            *exitValue = value;
        return true;
    }
    return false;
}

void DrainParkFd(int fd) {
    uint64_t value;
    while (read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

void Wake(ThreadRecord& record) {
    uint64_t one = 1;
    while (write(record.parkFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void MarkEnded(ThreadRecord& record, status_t exitValue) {
    Forget(record.id, exitValue);
    {
        std::lock_guard lock(record.mutex);
        record.ended = true;
        record.exitValue = exitValue;
    }
    record.endedChanged.notify_all();
}

void RunThread(ThreadHandle record) {
    tCurrent = record;
    pthread_setname_np(pthread_self(), record->name.substr(0, 15).c_str());
    status_t result = B_OK;
    try {
        if (!record->stopping)
            result = record->func(record->data);
    } catch (const ThreadStopped&) {
        result = B_ERROR;
    }
    MarkEnded(*record, result);
}

thread_id Register(ThreadHandle record) {
    std::lock_guard lock(gThreadsMutex);
    gThreads.emplace(record->id, record);
    return record->id;
}

// Polls the park descriptor and, when given, one more descriptor. Returns 1 when fd is ready
// (what poll reported for it in *revents), 0 when the deadline passed, and -1 when the thread was
// unparked.
int PollOnce(ThreadRecord& self, int fd, short events, bigtime_t deadline,
             short* revents = nullptr) {
    ThrowIfStopping();
    pollfd fds[2] = {{self.parkFd, POLLIN, 0}, {fd, events, 0}};
    int timeoutMs = -1;
    if (deadline != B_INFINITE_TIMEOUT) {
        bigtime_t left = deadline - system_time();
        if (left <= 0)
            return 0;
        timeoutMs = static_cast<int>(std::min<bigtime_t>((left + 999) / 1000, 1 << 30));
    }
    int count = poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
    if (count < 0)
        return errno == EINTR ? -1 : 0;
    if (fds[0].revents != 0) {
        DrainParkFd(self.parkFd);
        ThrowIfStopping();
        return -1;
    }
    if (fd >= 0 && fds[1].revents != 0) {
        if (revents != nullptr)
            *revents = fds[1].revents;
        return 1;
    }
    return deadline != B_INFINITE_TIMEOUT && system_time() >= deadline ? 0 : -1;
}

}  // namespace

ThreadHandle CurrentThread() {
    if (!tCurrent) {
        tCurrent = std::make_shared<ThreadRecord>(gNextId++, "", false, nullptr, nullptr);
        std::lock_guard lock(tCurrent->mutex);
        tCurrent->started = true;
    }
    return tCurrent;
}

void Unpark(const ThreadHandle& thread) {
    if (thread)
        Wake(*thread);
}

bool ParkUntil(bigtime_t deadline) {
    ThreadHandle self = CurrentThread();
    int result = PollOnce(*self, -1, 0, deadline);
    return result != 0;
}

bool WaitForFd(int fd, short events, bigtime_t deadline) {
    ThreadHandle self = CurrentThread();
    for (;;) {
        int result = PollOnce(*self, fd, events, deadline);
        if (result >= 0)
            return result == 1;
    }
}

short WaitForEvents(int fd, short events, bigtime_t deadline) {
    short revents = 0;
    return PollOnce(*CurrentThread(), fd, events, deadline, &revents) == 1 ? revents : 0;
}

void ThrowIfStopping() {
    if (StopRequested())
        throw ThreadStopped{};
}

bool StopRequested() {
    return tCurrent && tCurrent->stopping;
}

bool CurrentThreadIsSpawned() {
    return CurrentThread()->spawned;
}

thread_id SpawnToolkitThread(thread_func func, const char* name, void* data) {
    auto record = std::make_shared<ThreadRecord>(gNextId++, name ? name : "", false, func, data);
    record->started = true;
    thread_id id = Register(record);
    std::thread(RunThread, record).detach();
    return id;
}

#ifdef KIT_THREAD_CHECKS
void ContractBroken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: threading contract broken: %s\n", file, line, what);
    std::abort();
}
#endif

}  // namespace kit

using kit::ThreadHandle;

thread_id spawn_thread(thread_func func, const char* name, int32 /*priority*/, void* data) {
    if (func == nullptr)
        return B_BAD_VALUE;
    auto record =
        std::make_shared<kit::ThreadRecord>(kit::gNextId++, name ? name : "", true, func, data);
    return kit::Register(record);
}

status_t resume_thread(thread_id thread) {
    ThreadHandle record = kit::Find(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    {
        std::lock_guard lock(record->mutex);
        if (record->started)
            return B_OK;
        record->started = true;
    }
    std::thread(kit::RunThread, record).detach();
    return B_OK;
}

status_t suspend_thread(thread_id thread) {
    return kit::Find(thread) ? B_OK : B_BAD_THREAD_ID;
}

status_t kill_thread(thread_id thread) {
    ThreadHandle record = kit::Find(thread);
    if (!record)
        return B_BAD_THREAD_ID;
    record->stopping = true;
    kit::Wake(*record);
    if (record == kit::tCurrent)
        return B_OK;
    std::unique_lock lock(record->mutex);
    if (!record->started) {
        // Never resumed: it ends without having run.
        lock.unlock();
        kit::MarkEnded(*record, B_ERROR);
        return B_OK;
    }
    record->endedChanged.wait(lock, [&] { return record->ended; });
    return B_OK;
}

status_t wait_for_thread(thread_id thread, status_t* exitValue) {
    ThreadHandle record = kit::Find(thread);
    if (!record)
        return kit::FindEnded(thread, exitValue) ? B_OK : B_BAD_THREAD_ID;
    if (record == kit::tCurrent)
        return B_BAD_THREAD_ID;
    std::unique_lock lock(record->mutex);
    if (!record->started)
        return B_BAD_THREAD_ID;
    record->endedChanged.wait(lock, [&] { return record->ended; });
    if (exitValue)
        *exitValue = record->exitValue;
    return B_OK;
}

thread_id find_thread(const char* name) {
    if (name != nullptr)
        return B_NAME_NOT_FOUND;
    return kit::CurrentThread()->id;
}

status_t snooze(bigtime_t microseconds) {
    bigtime_t deadline = system_time() + microseconds;
    while (kit::ParkUntil(deadline)) {
    }
    return B_OK;
}

namespace {
std::atomic<bigtime_t> gClockAdvance{0};
}

void kit::AdvanceClock(bigtime_t microseconds) {
    if (microseconds <= 0)
        return;
    gClockAdvance.fetch_add(microseconds);
    // Every kit thread's sleep or deadline looks at the clock again: each wait already takes a
    // wake-up without cause as a reason to look again.
    std::vector<ThreadHandle> threads;
    {
        std::lock_guard lock(gThreadsMutex);
        for (const auto& [id, thread] : gThreads)
            threads.push_back(thread);
    }
    for (const ThreadHandle& thread : threads)
        Wake(*thread);
}

bigtime_t kit::ClockAdvance() {
    return gClockAdvance.load(std::memory_order_relaxed);
}

bigtime_t system_time() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() +
           kit::ClockAdvance();
}
