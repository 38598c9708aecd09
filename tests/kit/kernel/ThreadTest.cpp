#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "kit/kernel/OS.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

struct Shared {
    std::atomic<int> runs{0};
    std::mutex mutex;
    std::atomic<bool> holding{false}, after{false};
};

int32 MarkRan(void* data) {
    ++static_cast<Shared*>(data)->runs;
    return 42;
}

int32 SleepHoldingLock(void* data) {
    auto* shared = static_cast<Shared*>(data);
    std::lock_guard lock(shared->mutex);
    shared->holding = true;
    snooze(3600LL * 1000 * 1000);
    shared->after = true;
    return 0;
}

}  // namespace

TEST(ThreadTest, RunsOnlyOnceResumedAndAKillStopsItAtItsStopPoint) {
    Shared shared;
    const thread_id never = spawn_thread(MarkRan, "never", B_NORMAL_PRIORITY, &shared);
    ASSERT_GT(never, 0);
    ASSERT_EQ(kill_thread(never), B_OK);
    EXPECT_EQ(resume_thread(never), B_BAD_THREAD_ID) << "a thread killed before it ran";

    const thread_id marker = spawn_thread(MarkRan, "marker", B_NORMAL_PRIORITY, &shared);
    EXPECT_EQ(shared.runs, 0) << "a spawned thread must wait for resume_thread";
    ASSERT_EQ(resume_thread(marker), B_OK);
    status_t result = B_ERROR;
    ASSERT_EQ(wait_for_thread(marker, &result), B_OK);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(shared.runs, 1);
    EXPECT_EQ(kill_thread(marker), B_BAD_THREAD_ID) << "the thread has ended";
    EXPECT_EQ(kill_thread(1 << 30), B_BAD_THREAD_ID);

    const thread_id sleeper = spawn_thread(SleepHoldingLock, "sleeper", B_NORMAL_PRIORITY, &shared);
    ASSERT_EQ(resume_thread(sleeper), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return shared.holding.load(); }));
    EXPECT_EQ(suspend_thread(sleeper), B_OK);
    // A kill that waited for the hour's snooze would hold the test past its time-out.
    ASSERT_EQ(kill_thread(sleeper), B_OK);
    EXPECT_FALSE(shared.after) << "code after the stop point ran";
    ASSERT_TRUE(shared.mutex.try_lock()) << "the stopped thread kept its lock";
    shared.mutex.unlock();
}
