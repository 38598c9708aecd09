// A message from the benchmark's thread to a looper, on to a second looper, and back to the
// benchmark's thread by a condition variable (three hand-offs), beside a bare condition-variable
// ping-pong between two threads measured in the same run (two hand-offs): the kit's cost over the
// floor, with the system calls, heap allocations and context switches per round (Counters.h).
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "bench/Counters.h"
#include "kit/application/Looper.h"
#include "kit/application/Messenger.h"

namespace {

constexpr uint32 kPing = 1;

// Answers every ping to the messenger it was given, or counts it when it has none.
class Echo : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        if (message->what != kPing)
            return;
        if (peer.IsValid()) {
            peer.SendMessage(kPing);
        } else {
            std::lock_guard lock(mutex);
            ++answers;
            changed.notify_all();
        }
    }
    BMessenger peer;
    std::mutex mutex;  // guards answers
    std::condition_variable changed;
    int64 answers = 0;
};

void BM_MessageToLooperToSecondLooperAndBack(benchmark::State& state) {
    auto* far = new Echo();
    auto* near = new Echo();
    far->peer = BMessenger(near);
    far->Run();
    near->Run();
    BMessenger target(far);
    int64 expected = 0;
    ProcessCounters counters;
    counters.Start();
    for (auto _ : state) {
        target.SendMessage(kPing);
        ++expected;
        std::unique_lock lock(near->mutex);
        near->changed.wait(lock, [&] { return near->answers == expected; });
    }
    counters.Stop(state);
    far->Quit();
    near->Quit();
}
BENCHMARK(BM_MessageToLooperToSecondLooperAndBack)->UseRealTime();

void BM_ConditionVariablePingPong(benchmark::State& state) {
    std::mutex mutex;
    std::condition_variable changed;
    int64 pings = 0;
    int64 pongs = 0;
    bool done = false;
    std::thread echo([&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return done || pings > pongs; });
            if (done)
                return;
            ++pongs;
            changed.notify_all();
        }
    });
    ProcessCounters counters;
    counters.Start();
    for (auto _ : state) {
        std::unique_lock lock(mutex);
        ++pings;
        changed.notify_all();
        changed.wait(lock, [&] { return pongs == pings; });
    }
    counters.Stop(state);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    changed.notify_all();
    echo.join();
}
BENCHMARK(BM_ConditionVariablePingPong)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
