#include "kit/application/MessageRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "kit/application/Looper.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kTick = 1;
constexpr uint32 kMarker = 2;
constexpr uint32 kSentinel = 3;
constexpr uint32 kBusy = 4;  // keeps the looper busy until the time in "until"

// Counts ticks and notes when each was handled, and how many had come when a marker and a
// sentinel arrived.
class TickCounter : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        switch (message->what) {
            case kTick: {
                std::lock_guard lock(mutex);
                tickTimes.push_back(system_time());
                ++ticks;
                break;
            }
            case kMarker:
                ticksAtMarker = ticks.load();
                break;
            case kSentinel:
                ticksAtSentinel = ticks.load();
                break;
            case kBusy: {
                bigtime_t until = 0;
                message->FindInt64("until", &until);
                snooze(until - system_time());
                busyEnded = system_time();
                break;
            }
        }
    }
    std::vector<bigtime_t> TickTimes() {
        std::lock_guard lock(mutex);
        return tickTimes;
    }
    std::atomic<int32> ticks{0};
    std::atomic<int32> ticksAtMarker{-1};
    std::atomic<int32> ticksAtSentinel{-1};
    std::atomic<bigtime_t> busyEnded{0};
    std::mutex mutex;  // guards tickTimes
    std::vector<bigtime_t> tickTimes;
};

// A runner that sends kSentinel once, after delay: everything due before it has come by then.
std::unique_ptr<BMessageRunner> Sentinel(BLooper* looper, bigtime_t delay) {
    BMessage sentinel(kSentinel);
    return std::make_unique<BMessageRunner>(BMessenger(looper), &sentinel, delay, 1);
}

}  // namespace

TEST(MessageRunnerTest, ACountOfTenGivesExactlyTenMessages) {
    auto* counter = new TickCounter();
    counter->Run();
    BMessage tick(kTick);
    BMessageRunner runner(BMessenger(counter), &tick, 100000, 10);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticks == 10; })) << counter->ticks;
    // An eleventh tick would be due 100 ms after the tenth, before this sentinel.
    auto sentinel = Sentinel(counter, 350000);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticksAtSentinel >= 0; }));
    EXPECT_EQ(counter->ticksAtSentinel, 10);
    counter->Quit();
}

TEST(MessageRunnerTest, DeletingARunnerStopsItAtOnce) {
    auto* counter = new TickCounter();
    counter->Run();
    BMessenger messenger(counter);
    BMessage tick(kTick);
    auto runner = std::make_unique<BMessageRunner>(messenger, &tick, 5000, -1);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticks >= 3; }));
    runner.reset();
    // Ticks sent before the runner was deleted are ahead of the marker; none may follow it.
    messenger.SendMessage(kMarker);
    auto sentinel = Sentinel(counter, 100000);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticksAtSentinel >= 0; }));
    EXPECT_GE(counter->ticksAtMarker, 3);
    EXPECT_EQ(counter->ticksAtSentinel, counter->ticksAtMarker);
    counter->Quit();
}

TEST(MessageRunnerTest, NoMessageComesEarlyAndALateOneIsNotMadeUpFor) {
    constexpr bigtime_t kInterval = 30000;
    auto* counter = new TickCounter();
    counter->Run();
    const BMessenger messenger(counter);
    BMessage tick(kTick);
    const bigtime_t made = system_time();
    {
        BMessageRunner runner(messenger, &tick, kInterval, 4);
        ASSERT_EQ(runner.InitCheck(), B_OK);
        ASSERT_TRUE(WaitUntil([&] { return counter->ticks == 4; }));
    }
    const std::vector<bigtime_t> times = counter->TickTimes();
    for (size_t n = 0; n < times.size(); ++n)
        EXPECT_GE(times[n] - made, bigtime_t(n + 1) * kInterval) << "tick " << n + 1 << " early";

    // Busy for five intervals from the start: the missed ticks do not all come at once when the
    // looper is free again; the one after the late one is an interval later.
    BMessage busy(kBusy);
    busy.AddInt64("until", system_time() + 5 * kInterval);
    ASSERT_EQ(counter->PostMessage(&busy), B_OK);
    BMessageRunner runner(messenger, &tick, kInterval, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticks == 4 + 3; }));
    EXPECT_GE(counter->TickTimes()[5] - counter->busyEnded, kInterval);
    counter->Quit();

    // A runner for a looper that has gone does not start.
    EXPECT_NE(BMessageRunner(messenger, &tick, kInterval).InitCheck(), B_OK);
}
