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

constexpr bigtime_t kInterval = 1000;
constexpr uint32 kTick = 1, kSentinel = 2;
constexpr uint32 kBusy = 5;  // snoozes until the time in "until", not queueing the runners' ticks
// Starts runner 1 without end and runner 3 of three ticks, posts kReplace to itself, then holds
// the looper's thread as an alert does until the time in "until", the runners' messages queued
// as they fall due.
constexpr uint32 kHold = 3;
constexpr uint32 kReplace = 4;  // stops runner 1, or with "restart" replaces it by runner 2

// Notes when it handled each tick of each runner (by the "runner" the tick names).
class TickCounter : public BLooper {
public:
    TickCounter() { Run(); }
    void MessageReceived(BMessage* message) override {
        int32 number = 0, restart = 0;
        bigtime_t until = 0;
        message->FindInt32("runner", &number);
        message->FindInt32("restart", &restart);
        message->FindInt64("until", &until);
        if (message->what == kTick) {
            std::lock_guard lock(mutex);
            times[number].push_back(system_time());
        } else if (message->what == kBusy) {
            snooze(until - system_time());
            busyEnded = system_time();
        } else if (message->what == kSentinel) {
            sentinelCame = true;
        } else if (message->what == kHold) {
            runner = MakeRunner(1, -1);
            counted = MakeRunner(3, 3);
            BMessage replace(kReplace);
            replace.AddInt32("restart", restart);
            PostMessage(&replace);
            for (bigtime_t now = system_time(); now < until; now = system_time())
                snooze(std::min(Port()->QueueDueTimers(), until) - now);
            queuedWhileHeld = Port()->Queued();
        } else if (message->what == kReplace) {
            runner = restart != 0 ? MakeRunner(2, -1) : nullptr;
        }
    }
    std::unique_ptr<BMessageRunner> MakeRunner(int32 number, int32 count) {
        BMessage tick(kTick);
        tick.AddInt32("runner", number);
        return std::make_unique<BMessageRunner>(BMessenger(this), &tick, kInterval, count);
    }
    std::vector<bigtime_t> Times(int32 number) {
        std::lock_guard lock(mutex);
        return times[number];
    }

    std::unique_ptr<BMessageRunner> runner, counted;
    std::atomic<bool> sentinelCame{false};
    std::atomic<size_t> queuedWhileHeld{0};
    std::atomic<bigtime_t> busyEnded{0};
    std::mutex mutex;  // guards times
    std::vector<bigtime_t> times[4];
};

}  // namespace

TEST(MessageRunnerTest, NoMessageComesEarlyAndALateOneIsNotMadeUpFor) {
    constexpr bigtime_t kLonger = 10 * kInterval;
    auto* counter = new TickCounter();
    const BMessenger messenger(counter);
    BMessage tick(kTick);
    const bigtime_t made = system_time();
    auto runner = std::make_unique<BMessageRunner>(messenger, &tick, kLonger, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter->Times(0).size() == 3; }));
    for (size_t n = 0; n < 3; ++n)
        EXPECT_GE(counter->Times(0)[n] - made, bigtime_t(n + 1) * kLonger) << "tick " << n + 1;

    // Busy for five intervals: the missed ticks do not all come at once when the looper is free
    // again; the one after the late one is an interval later.
    BMessage busy(kBusy);
    busy.AddInt64("until", system_time() + 5 * kLonger);
    ASSERT_EQ(counter->PostMessage(&busy), B_OK);
    runner = std::make_unique<BMessageRunner>(messenger, &tick, kLonger, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter->Times(0).size() == 3 + 3; }));
    EXPECT_GE(counter->Times(0)[4] - counter->busyEnded, kLonger);
    counter->Quit();
    // A runner for a looper that has gone does not start.
    EXPECT_NE(BMessageRunner(messenger, &tick, kLonger).InitCheck(), B_OK);
}

// A looper held (as by an alert) for thirty intervals finds one message of each runner waiting,
// not one for every interval, and the ticks skipped meanwhile do not count against a runner's
// count. A runner stopped or replaced by a handler sends nothing more,
// not even the tick already queued behind that handler: a blink restarted by a move that waited
// behind an alert keeps its count.
TEST(MessageRunnerTest, AHeldLooperFindsOneMessageOfEachRunnerAndNoneOfAStoppedOne) {
    for (const int32 restart : {0, 1}) {
        SCOPED_TRACE(restart ? "replaced" : "stopped");
        auto* counter = new TickCounter();
        BMessage hold(kHold);
        hold.AddInt64("until", system_time() + 30 * kInterval);
        hold.AddInt32("restart", restart);
        ASSERT_EQ(counter->PostMessage(&hold), B_OK);
        ASSERT_TRUE(WaitUntil([&] { return counter->queuedWhileHeld > 0; }));
        EXPECT_EQ(counter->queuedWhileHeld, 3u) << "kReplace, a tick of runner 1 and of runner 3";
        ASSERT_TRUE(WaitUntil([&] {
            return counter->Times(3).size() == 3 && counter->Times(2).size() >= 1u * restart;
        }));
        // Everything due before it has come by the time this comes.
        BMessage sentinel(kSentinel);
        BMessageRunner last(BMessenger(counter), &sentinel, 20 * kInterval, 1);
        ASSERT_TRUE(WaitUntil([&] { return counter->sentinelCame.load(); }));
        EXPECT_EQ(counter->Times(3).size(), 3u);
        EXPECT_EQ(counter->Times(1).size(), 0u);
        counter->Quit();
    }
}
