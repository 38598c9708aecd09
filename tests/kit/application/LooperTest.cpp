#include "kit/application/Looper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <vector>

#include "kit/application/Messenger.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kNumbered = 1, kFlood = 2;  // kFlood: the looper sends itself 300 numbers

// Sends numbered messages 0..count-1 up to the first failure, counting those that went.
status_t SendNumbers(const BMessenger& target, int32 count, bigtime_t timeout = B_INFINITE_TIMEOUT,
                     std::atomic<int32>* sent = nullptr) {
    status_t result = B_OK;
    for (int32 i = 0; i < count && result == B_OK; ++i) {
        BMessage numbered(kNumbered);
        numbered.AddInt32("n", i);
        if ((result = target.SendMessage(&numbered, nullptr, timeout)) == B_OK && sent != nullptr)
            ++*sent;
    }
    return result;
}

// Records the numbers it is sent. Its handler waits at a closed gate, so that the queue fills up.
class RecordingLooper : public BLooper {
public:
    RecordingLooper() { Run(); }
    void MessageReceived(BMessage* message) override {
        if (message->what == kFlood)
            SendNumbers(BMessenger(this), 300);
        ++arrived;
        WaitUntil([&] { return gateOpen.load(); });
        int32 n;
        if (message->FindInt32("n", &n) == B_OK) {
            numbers.push_back(n);
            ++handled;  // publishes numbers
        }
    }
    std::atomic<bool> gateOpen{false};
    std::atomic<int32> arrived{0}, handled{0};
    std::vector<int32> numbers;  // read once handled shows that all have come
};

// SendNumbers on a spawned thread, which is done with the Sender once it stores lastResult.
struct Sender {
    BMessenger target;
    int32 count;
    bigtime_t timeout = B_INFINITE_TIMEOUT;
    std::atomic<int32> sent{0};
    std::atomic<status_t> lastResult{1};  // 1 until it has finished

    void Start() {
        auto run = [](void* data) {
            auto* self = static_cast<Sender*>(data);
            self->lastResult = SendNumbers(self->target, self->count, self->timeout, &self->sent);
            return int32(0);
        };
        resume_thread(spawn_thread(run, "sender", B_NORMAL_PRIORITY, this));
    }
    bool Join() {
        return WaitUntil([&] { return lastResult != 1; });
    }
};

}  // namespace

// The handler holds the first message; the rest fill the queue until a send would wait.
TEST(LooperTest, AFullQueueHoldsOnlySpawnedSendersAndNoneIsLeftWaitingOrOutOfOrder) {
    auto* looper = new RecordingLooper();
    BMessenger messenger(looper);
    ASSERT_EQ(SendNumbers(messenger, 1), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return looper->arrived == 1; }));
    Sender filler{messenger, 1000, 0};
    filler.Start();
    ASSERT_TRUE(filler.Join());
    ASSERT_EQ(filler.lastResult, B_WOULD_BLOCK);
    ASSERT_EQ(filler.sent, 200);
    // Without a timeout a sender waits for room; with one it gives up meanwhile.
    Sender waiting{messenger, 300}, patient{messenger, 1, 20000};
    waiting.Start();
    patient.Start();
    ASSERT_TRUE(patient.Join());
    EXPECT_EQ(patient.lastResult, B_TIMED_OUT);
    EXPECT_EQ(waiting.sent, 0);
    // Neither this thread (not made with spawn_thread) nor a looper posting to itself waits.
    ASSERT_EQ(SendNumbers(messenger, 400, 0), B_OK);
    ASSERT_EQ(messenger.SendMessage(kFlood), B_OK);
    looper->gateOpen = true;
    ASSERT_TRUE(waiting.Join());
    EXPECT_EQ(waiting.sent, 300);
    ASSERT_TRUE(WaitUntil([&] { return looper->handled == 1 + 200 + 400 + 300 + 300; }));
    std::vector<int32> queued(1 + 200 + 400);
    std::iota(queued.begin() + 1, queued.begin() + 201, 0);
    std::iota(queued.begin() + 201, queued.end(), 0);
    EXPECT_TRUE(std::equal(queued.begin(), queued.end(), looper->numbers.begin()));

    // Every message finds the looper asleep or about to sleep: a wake-up lost between its last
    // look at the queue and its sleep would strand one.
    for (int32 i = 0, before = looper->arrived; i < 2000; ++i, ++before) {
        messenger.SendMessage(kNumbered);
        ASSERT_TRUE(WaitUntil([&] { return looper->arrived > before; })) << "stranded at " << i;
    }

    looper->Quit();  // returns once its thread has ended
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage(kNumbered), B_BAD_PORT_ID);
}
