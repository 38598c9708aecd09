#include "kit/application/MessageRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "kit/application/Looper.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kTick = 1;
constexpr uint32 kMarker = 2;
constexpr uint32 kSentinel = 3;

// Counts ticks, and notes how many had come when a marker and a sentinel arrived.
class TickCounter : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        switch (message->what) {
            case kTick:
                ++ticks;
                break;
            case kMarker:
                ticksAtMarker = ticks.load();
                break;
            case kSentinel:
                ticksAtSentinel = ticks.load();
                break;
        }
    }
    std::atomic<int32> ticks{0};
    std::atomic<int32> ticksAtMarker{-1};
    std::atomic<int32> ticksAtSentinel{-1};
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
