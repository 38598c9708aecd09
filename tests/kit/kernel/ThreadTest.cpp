#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "kit/kernel/OS.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

struct Sleeper {
    std::mutex mutex;
    std::atomic<bool> holding{false};
    std::atomic<bool> after{false};
};

int32 SleepHoldingLock(void* data) {
    auto* sleeper = static_cast<Sleeper*>(data);
    std::lock_guard lock(sleeper->mutex);
    sleeper->holding = true;
    snooze(3600LL * 1000 * 1000);
    sleeper->after = true;
    return 0;
}

int32 MarkRan(void* data) {
    static_cast<std::atomic<int>*>(data)->fetch_add(1);
    return 42;
}

}  // namespace

TEST(ThreadTest, RunsOnlyOnceResumedAndGivesItsResult) {
    std::atomic<int> runs{0};
    // Killed before it was resumed, a thread never runs.
    const thread_id never = spawn_thread(MarkRan, "never", B_NORMAL_PRIORITY, &runs);
    ASSERT_GT(never, 0);
    ASSERT_EQ(kill_thread(never), B_OK);
    EXPECT_EQ(resume_thread(never), B_BAD_THREAD_ID);

    thread_id thread = spawn_thread(MarkRan, "marker", B_NORMAL_PRIORITY, &runs);
    ASSERT_GT(thread, 0);
    EXPECT_EQ(runs, 0) << "a spawned thread must wait for resume_thread";
    ASSERT_EQ(resume_thread(thread), B_OK);
    status_t result = B_ERROR;
    ASSERT_EQ(wait_for_thread(thread, &result), B_OK);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID) << "the thread has ended";
    EXPECT_EQ(kill_thread(1 << 30), B_BAD_THREAD_ID);
    EXPECT_EQ(kill_thread(-5), B_BAD_THREAD_ID);
}

TEST(ThreadTest, KillStopsSnoozeAtOnceAndReleasesLocks) {
    Sleeper sleeper;
    thread_id thread = spawn_thread(SleepHoldingLock, "sleeper", B_NORMAL_PRIORITY, &sleeper);
    ASSERT_GT(thread, 0);
    ASSERT_EQ(resume_thread(thread), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return sleeper.holding.load(); })) << "the thread never started";
    EXPECT_EQ(suspend_thread(thread), B_OK);

    // A kill that waited for the hour's snooze would hold the test past its time-out.
    ASSERT_EQ(kill_thread(thread), B_OK);
    EXPECT_FALSE(sleeper.after) << "code after the stop point ran";
    ASSERT_TRUE(sleeper.mutex.try_lock()) << "the stopped thread kept its lock";
    sleeper.mutex.unlock();
    EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID);
}
