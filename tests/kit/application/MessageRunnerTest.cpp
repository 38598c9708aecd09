#include "kit/application/MessageRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "kit/application/Looper.h"
#include "kit/application/Port.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr bigtime_t kInterval = 10000;
constexpr uint32 kTick = 1;
constexpr uint32 kBusy = 2;  // snoozes until the time in "until", not queueing the runners' ticks

// Notes when it handled each tick.
class TickCounter : public BLooper {
public:
    TickCounter() { Run(); }
    void MessageReceived(BMessage* message) override {
        if (message->what == kTick) {
            std::lock_guard lock(mutex);
            times.push_back(system_time());
        } else if (bigtime_t until; message->FindInt64("until", &until) == B_OK) {
            snooze(until - system_time());
            busyEnded = system_time();
        }
    }
    std::vector<bigtime_t> Times() {
        std::lock_guard lock(mutex);
        return times;
    }
    std::atomic<bigtime_t> busyEnded{0};
    std::mutex mutex;  // guards times
    std::vector<bigtime_t> times;
};

}  // namespace

// How a runner's ticks wait behind an alert, and how a runner replaced meanwhile stops: AlertTest.
TEST(MessageRunnerTest, NoMessageComesEarlyAndALateOneIsNotMadeUpFor) {
    auto* counter = new TickCounter();
    const BMessenger messenger(counter);
    BMessage tick(kTick);
    const bigtime_t made = system_time();
    auto runner = std::make_unique<BMessageRunner>(messenger, &tick, kInterval, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter->Times().size() == 3; }));
    for (size_t n = 0; n < 3; ++n)
        EXPECT_GE(counter->Times()[n] - made, bigtime_t(n + 1) * kInterval) << "tick " << n + 1;

    // Busy for five and a half intervals: the one after the late tick is an interval later, not
    // the next of the runner's first schedule, half an interval on.
    BMessage busy(kBusy);
    busy.AddInt64("until", system_time() + 5 * kInterval + kInterval / 2);
    ASSERT_EQ(counter->PostMessage(&busy), B_OK);
    runner = std::make_unique<BMessageRunner>(messenger, &tick, kInterval, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter->Times().size() == 3 + 3; }));
    EXPECT_GE(counter->Times()[4] - counter->busyEnded, kInterval);
    counter->Quit();

    // A runner for a looper that has gone does not start.
    EXPECT_NE(BMessageRunner(messenger, &tick, kInterval).InitCheck(), B_OK);
}

// The clock a test moves on: a runner due an hour on and a sleep of an hour end at once, and the
// loopers' waits go on in real time after it.
TEST(MessageRunnerTest, AClockMovedOnEndsWhatWaitsForItAndRunnersKeepTheirInterval) {
    auto* counter = new TickCounter();
    const BMessenger messenger(counter);
    BMessage tick(kTick);
    constexpr bigtime_t kHour = 3600000000;
    BMessageRunner late(messenger, &tick, kHour, 1);
    std::atomic<bool> slept{false};
    const thread_id sleeper = spawn_thread(
        [](void* data) {
            snooze(kHour);
            static_cast<std::atomic<bool>*>(data)->store(true);
            return int32{0};
        },
        "sleeper", B_NORMAL_PRIORITY, &slept);
    resume_thread(sleeper);
    // The sleeper may not have begun its sleep when the clock first moves.
    ASSERT_TRUE(WaitUntil([&] {
        kit::AdvanceClock(kHour);
        kit::Port::WakeOwners();
        return slept && counter->Times().size() == 1;
    }));
    BMessageRunner runner(messenger, &tick, kInterval, 2);
    EXPECT_TRUE(WaitUntil([&] { return counter->Times().size() == 3; }));
    wait_for_thread(sleeper, nullptr);
    counter->Quit();
}
