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

constexpr uint32 kTick = 1;
constexpr uint32 kSentinel = 3;
constexpr uint32 kBusy = 4;  // keeps the looper busy until the time in "until"
// Starts the looper's runners (runner 1 without end, and with "counted" runner 3, three ticks),
// posts kReplace to itself when "restart" is given, then holds the looper's thread as an alert
// does, the runners' messages still queued as they fall due: until the time in "until", or until
// "queued" messages wait.
constexpr uint32 kPark = 5;
// Stops the looper's runner, or with "restart" replaces it by a new one.
constexpr uint32 kReplace = 6;

// Counts ticks and notes when each was handled, and how many had come when a sentinel arrived.
class TickCounter : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        switch (message->what) {
            case kTick: {
                std::lock_guard lock(mutex);
                tickTimes.push_back(system_time());
                ++ticks;
                int32 number = 0;
                message->FindInt32("runner", &number);
                if (number == 1 && replaced)
                    ++staleTicks;
                if (number == 2)
                    ++restartedTicks;
                if (number == 3)
                    ++countedTicks;
                break;
            }
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
            case kPark:
                Park(message);
                break;
            case kReplace: {
                int32 restart = 0;
                message->FindInt32("restart", &restart);
                runner.reset();
                if (restart != 0)
                    runner = MakeRunner(2);
                replaced = true;
                break;
            }
        }
    }
    // Ticks every interval, each naming the runner that sent it.
    std::unique_ptr<BMessageRunner> MakeRunner(int32 number, int32 count = -1) {
        BMessage tick(kTick);
        tick.AddInt32("runner", number);
        return std::make_unique<BMessageRunner>(BMessenger(this), &tick, kInterval, count);
    }
    static constexpr bigtime_t kInterval = 1000;

    // The looper's own, made by kPark and replaced by kReplace.
    std::unique_ptr<BMessageRunner> runner;
    std::unique_ptr<BMessageRunner> counted;
    std::atomic<bool> replaced{false};
    // Ticks of runner 1 handled after kReplace, of runner 2, and of runner 3.
    std::atomic<int32> staleTicks{0};
    std::atomic<int32> restartedTicks{0};
    std::atomic<int32> countedTicks{0};
    std::atomic<size_t> queuedWhileParked{0};
    void Park(BMessage* message) {
        runner = MakeRunner(1);
        if (int32 count; message->FindInt32("counted", &count) == B_OK)
            counted = MakeRunner(3, count);
        if (int32 restart; message->FindInt32("restart", &restart) == B_OK) {
            BMessage replace(kReplace);
            replace.AddInt32("restart", restart);
            PostMessage(&replace);
        }
        // Never longer than the tests' deadline.
        bigtime_t until = system_time() + 5000000;
        message->FindInt64("until", &until);
        int32 queued = 0;
        message->FindInt32("queued", &queued);
        for (bigtime_t now = system_time(); now < until; now = system_time()) {
            const bigtime_t next = Port()->QueueDueTimers();
            if (queued > 0 && Port()->Queued() >= size_t(queued))
                break;
            snooze(std::min(next, until) - now);
        }
        queuedWhileParked = Port()->Queued();
    }
    std::vector<bigtime_t> TickTimes() {
        std::lock_guard lock(mutex);
        return tickTimes;
    }
    std::atomic<int32> ticks{0};
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

// A looper held (as by an alert) for thirty intervals finds one message of each runner waiting,
// not one for every interval; the ticks skipped meanwhile do not count against a runner's count.
TEST(MessageRunnerTest, ARunnerKeepsOneMessageWaitingBehindAHeldLooper) {
    auto* counter = new TickCounter();
    counter->Run();
    BMessage park(kPark);
    park.AddInt64("until", system_time() + 30 * TickCounter::kInterval);
    park.AddInt32("counted", 3);
    ASSERT_EQ(counter->PostMessage(&park), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return counter->queuedWhileParked > 0; }));
    EXPECT_EQ(counter->queuedWhileParked, 2u) << "a tick of runner 1 and one of runner 3";
    ASSERT_TRUE(WaitUntil([&] { return counter->countedTicks == 3; }));
    auto sentinel = Sentinel(counter, 20 * TickCounter::kInterval);
    ASSERT_TRUE(WaitUntil([&] { return counter->ticksAtSentinel >= 0; }));
    EXPECT_EQ(counter->countedTicks, 3);
    counter->Quit();
}

// A runner stopped or replaced by a handler sends nothing more, not even the tick that was already
// queued behind that handler (taken into the looper's batch with it): a blink restarted by a move
// that waited behind an alert keeps its count.
TEST(MessageRunnerTest, AStoppedOrReplacedRunnersWaitingMessageIsNotHandled) {
    for (const int32 restart : {0, 1}) {
        SCOPED_TRACE(restart ? "replaced" : "stopped");
        auto* counter = new TickCounter();
        counter->Run();
        // kReplace, then a tick of runner 1 queued behind it.
        BMessage park(kPark);
        park.AddInt32("restart", restart);
        park.AddInt32("queued", 2);
        ASSERT_EQ(counter->PostMessage(&park), B_OK);
        ASSERT_TRUE(WaitUntil([&] { return counter->queuedWhileParked > 0; }));
        ASSERT_EQ(counter->queuedWhileParked, 2u);
        if (restart) {
            ASSERT_TRUE(WaitUntil([&] { return counter->restartedTicks >= 3; }));
        } else {
            auto sentinel = Sentinel(counter, 20 * TickCounter::kInterval);
            ASSERT_TRUE(WaitUntil([&] { return counter->ticksAtSentinel >= 0; }));
        }
        EXPECT_EQ(counter->staleTicks, 0);
        counter->Quit();
    }
}
