#include "kit/application/Looper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "kit/application/Messenger.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kNumbered = 1;
constexpr uint32 kFlood = 2;

// A looper that records the numbers it is sent, and the thread that handles them. Its handler
// can be held at a gate to let its queue fill up.
class RecordingLooper : public BLooper {
public:
    void MessageReceived(BMessage* message) override {
        if (message->what == kFlood) {
            for (int32 i = 0; i < 300; ++i) {
                BMessage numbered(kNumbered);
                numbered.AddInt32("n", i);
                PostMessage(&numbered);
            }
            return;
        }
        {
            std::unique_lock lock(mutex);
            ++arrivedAtGate;
            gateChanged.wait(lock, [&] { return gateOpen; });
            int32 n = -1;
            message->FindInt32("n", &n);
            numbers.push_back(n);
            handlerThread = find_thread(nullptr);
        }
    }

    void OpenGate(bool open) {
        {
            std::lock_guard lock(mutex);
            gateOpen = open;
        }
        gateChanged.notify_all();
    }

    size_t Count() {
        std::lock_guard lock(mutex);
        return numbers.size();
    }

    int32 ArrivedAtGate() {
        std::lock_guard lock(mutex);
        return arrivedAtGate;
    }

    std::vector<int32> Numbers() {
        std::lock_guard lock(mutex);
        return numbers;
    }

    std::mutex mutex;  // guards the fields below
    std::condition_variable gateChanged;
    bool gateOpen = true;
    int32 arrivedAtGate = 0;
    std::vector<int32> numbers;
    thread_id handlerThread = -1;
};

struct Sender {
    BMessenger target;
    int32 count;
    bigtime_t timeout = B_INFINITE_TIMEOUT;
    std::atomic<int32> sent{0};
    std::atomic<status_t> lastResult{B_OK};

    static int32 Run(void* data) {
        auto* self = static_cast<Sender*>(data);
        for (int32 i = 0; i < self->count; ++i) {
            BMessage numbered(kNumbered);
            numbered.AddInt32("n", i);
            self->lastResult = self->target.SendMessage(&numbered, nullptr, self->timeout);
            if (self->lastResult != B_OK)
                break;
            ++self->sent;
        }
        return 0;
    }
};

std::vector<int32> Sequence(int32 count) {
    std::vector<int32> numbers;
    for (int32 i = 0; i < count; ++i)
        numbers.push_back(i);
    return numbers;
}

}  // namespace

TEST(LooperTest, MessagesFromOneSenderAreHandledInOrderOnTheLoopersThread) {
    auto* looper = new RecordingLooper();
    const thread_id thread = looper->Run();
    BMessenger messenger(looper);
    for (int32 i = 0; i < 1000; ++i) {
        BMessage numbered(kNumbered);
        numbered.AddInt32("n", i);
        ASSERT_EQ(messenger.SendMessage(&numbered), B_OK);
    }
    ASSERT_TRUE(WaitUntil([&] { return looper->Count() == 1000; })) << looper->Count();
    EXPECT_EQ(looper->Numbers(), Sequence(1000));
    EXPECT_EQ(looper->handlerThread, thread);
    looper->Lock();
    looper->Quit();
}

TEST(LooperTest, AMessengerToAQuitLooperFailsCleanly) {
    auto* looper = new RecordingLooper();
    looper->Run();
    BMessenger messenger(looper);
    ASSERT_TRUE(messenger.IsValid());
    looper->Quit();  // returns once the looper's thread has ended
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage(kNumbered), B_BAD_PORT_ID);

    BHandler loose("not in a looper");
    status_t result = B_OK;
    BMessenger invalid(&loose, nullptr, &result);
    EXPECT_EQ(result, B_BAD_HANDLER);
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_NE(invalid.SendMessage(kNumbered), B_OK);
}

TEST(LooperTest, AFullQueueMakesASpawnedThreadWaitUntilItIsDrained) {
    auto* looper = new RecordingLooper();
    looper->Run();
    looper->OpenGate(false);
    BMessenger messenger(looper);

    // The handler holds the first message; the rest fill the queue until a send would wait.
    ASSERT_EQ(messenger.SendMessage(kNumbered), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return looper->ArrivedAtGate() == 1; }));
    Sender filler{messenger, 1000, 0};
    thread_id fillerThread = spawn_thread(Sender::Run, "filler", B_NORMAL_PRIORITY, &filler);
    resume_thread(fillerThread);
    ASSERT_EQ(wait_for_thread(fillerThread, nullptr), B_OK);
    ASSERT_EQ(filler.lastResult, B_WOULD_BLOCK);
    ASSERT_EQ(filler.sent, 200);

    // A spawned thread is told the queue is full, or waits for room up to its timeout.
    Sender impatient{messenger, 1, 0};
    thread_id impatientThread =
        spawn_thread(Sender::Run, "impatient", B_NORMAL_PRIORITY, &impatient);
    resume_thread(impatientThread);
    wait_for_thread(impatientThread, nullptr);
    EXPECT_EQ(impatient.lastResult, B_WOULD_BLOCK);
    Sender patient{messenger, 1, 20000};
    thread_id patientThread = spawn_thread(Sender::Run, "patient", B_NORMAL_PRIORITY, &patient);
    resume_thread(patientThread);
    wait_for_thread(patientThread, nullptr);
    EXPECT_EQ(patient.lastResult, B_TIMED_OUT);

    // Without a timeout it waits, and goes on once the looper drains its queue.
    Sender waiting{messenger, 300};
    thread_id waitingThread = spawn_thread(Sender::Run, "waiting", B_NORMAL_PRIORITY, &waiting);
    resume_thread(waitingThread);
    EXPECT_EQ(waiting.sent, 0);
    looper->OpenGate(true);
    ASSERT_TRUE(WaitUntil([&] { return waiting.sent == 300; })) << waiting.sent;
    EXPECT_EQ(waiting.lastResult, B_OK);
    const size_t all = 1 + 200 + 300;
    ASSERT_TRUE(WaitUntil([&] { return looper->Count() == all; })) << looper->Count();
    looper->Quit();
}

TEST(LooperTest, OnlySpawnedThreadsWaitOnAFullQueue) {
    auto* looper = new RecordingLooper();
    looper->Run();
    looper->OpenGate(false);
    BMessenger messenger(looper);
    // This thread was not made with spawn_thread: it never waits.
    for (int32 i = 0; i < 400; ++i) {
        BMessage numbered(kNumbered);
        numbered.AddInt32("n", i);
        ASSERT_EQ(messenger.SendMessage(&numbered, nullptr, 0), B_OK) << i;
    }
    // A looper posting to itself never waits on its own queue either.
    ASSERT_EQ(messenger.SendMessage(kFlood), B_OK);
    looper->OpenGate(true);
    ASSERT_TRUE(WaitUntil([&] { return looper->Count() == 700; })) << looper->Count();
    std::vector<int32> expected = Sequence(400);
    for (int32 n : Sequence(300))
        expected.push_back(n);
    EXPECT_EQ(looper->Numbers(), expected);
    looper->Quit();
}
