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
