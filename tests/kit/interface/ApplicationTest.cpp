#include "kit/application/Application.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "kit/application/MessageRunner.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kTick = 1, kSentinel = 2;

// A handler of the application, so run on the GUI thread: notes when each tick came, and how
// many had come when the sentinel did.
class Counter : public BHandler {
public:
    void MessageReceived(BMessage* message) override {
        if (message->what == kTick)
            times.push_back(system_time());
        else if (message->what == kSentinel)
            ticksAtSentinel = static_cast<int32>(times.size());
    }
    std::vector<bigtime_t> times;
    int32 ticksAtSentinel = -1;
};

}  // namespace

TEST(ApplicationTest, ARunnerForTheApplicationTicksOnTheGuiThreadAndNeverEarly) {
    // The application's queue has no thread to wait on it: its event loop keeps the time.
    constexpr bigtime_t kInterval = 20000;
    Counter counter;
    be_app->AddHandler(&counter);
    BMessage tick(kTick);
    const bigtime_t made = system_time();
    auto runner = std::make_unique<BMessageRunner>(BMessenger(&counter), &tick, kInterval, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter.times.size() == 3; }));
    for (size_t n = 0; n < counter.times.size(); ++n)
        EXPECT_GE(counter.times[n] - made, bigtime_t(n + 1) * kInterval) << "tick " << n + 1;

    // Deleted, a runner without end sends nothing more: nothing comes before a sentinel due five
    // of its intervals later.
    runner = std::make_unique<BMessageRunner>(BMessenger(&counter), &tick, kInterval, -1);
    ASSERT_TRUE(WaitUntil([&] { return counter.times.size() == 4; }));
    runner.reset();
    BMessage sentinel(kSentinel);
    BMessageRunner last(BMessenger(&counter), &sentinel, 5 * kInterval, 1);
    ASSERT_TRUE(WaitUntil([&] { return counter.ticksAtSentinel >= 0; }));
    EXPECT_EQ(counter.ticksAtSentinel, 4);
    be_app->RemoveHandler(&counter);
}
