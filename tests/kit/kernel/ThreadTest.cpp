#include <gtest/gtest.h>

#include <atomic>

#include "kit/kernel/OS.h"

namespace {

int32 MarkRan(void* data) {
    ++*static_cast<std::atomic<int>*>(data);
    return 42;
}

}  // namespace

// How kill_thread stops a thread blocked at a stop point: SocketTest.
TEST(ThreadTest, RunsOnlyOnceResumedAndGivesItsResult) {
    std::atomic<int> runs{0};
    const thread_id never = spawn_thread(MarkRan, "never", B_NORMAL_PRIORITY, &runs);
    ASSERT_GT(never, 0);
    ASSERT_EQ(kill_thread(never), B_OK);
    EXPECT_EQ(resume_thread(never), B_BAD_THREAD_ID) << "a thread killed before it ran";

    const thread_id thread = spawn_thread(MarkRan, "marker", B_NORMAL_PRIORITY, &runs);
    EXPECT_EQ(runs, 0) << "a spawned thread must wait for resume_thread";
    ASSERT_EQ(resume_thread(thread), B_OK);
    status_t result = B_ERROR;
    ASSERT_EQ(wait_for_thread(thread, &result), B_OK);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID) << "the thread has ended";
    EXPECT_EQ(kill_thread(1 << 30), B_BAD_THREAD_ID);
}
