#include "kit/interface/Alert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "kit/application/MessageRunner.h"
#include "kit/application/Port.h"
#include "kit/interface/Window.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

bool AlertShown(const std::string& title) {
    return std::ranges::any_of(inspect::Alerts(),
                               [&](auto& alert) { return alert.title == title; });
}

// Stores the button Go gives in its std::atomic<int32>.
int32 ShowAbout(void* pressed) {
    auto* alert = new BAlert("Quillet", "Quillet\nby the Quillet authors\n\n", "OK");
    alert->TextView()->SetStylable(true);
    BFont big;
    big.SetSize(15);
    alert->TextView()->SetFontAndColor(0, 7, &big, B_FONT_ALL);
    *static_cast<std::atomic<int32>*>(pressed) = alert->Go();
    return 0;
}

constexpr uint32 kAsk = 1, kReplace = 2, kAfter = 3, kTick = 10;  // kTick + n: a tick of runner n

// On kAsk starts runners 1 (endless) and 3 (three ticks), posts kReplace (runner 2 for 1) and
// waits in an alert; then notes runner 3's ticks handled when its kAfter arrives.
class AskingWindow : public BWindow {
public:
    AskingWindow()
        : BWindow(BRect(100, 100, 200, 150), "asking", B_TITLED_WINDOW,
                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE) {}
    void MessageReceived(BMessage* message) override {
        if (message->what == kAsk) {
            fEndless = MakeRunner(1, -1);
            fCounted = MakeRunner(3, 3);
            PostMessage(kReplace);
            (new BAlert("Question", "Wait?", "OK"))->Go();
            PostMessage(kAfter);
        } else if (message->what > kTick) {
            ++ticks[message->what - kTick];
        } else if (message->what == kReplace) {
            fEndless = MakeRunner(2, -1);
        } else if (message->what == kAfter) {
            ticksAfterAlert = ticks[3].load();
        }
    }
    std::atomic<int32> ticks[4] = {0, 0, 0, 0}, ticksAfterAlert{-1};

private:
    std::unique_ptr<BMessageRunner> MakeRunner(int32 number, int32 count) {
        BMessage tick(kTick + number);
        return std::make_unique<BMessageRunner>(BMessenger(this), &tick, 10000, count);
    }
    std::unique_ptr<BMessageRunner> fEndless, fCounted;
};

}  // namespace

// Behind an alert waits one tick of each runner; the skipped ones do not count. A runner replaced
// by a message that waited there sends nothing more, not even its tick already waiting (a blink
// restarted by a move keeps its count).
TEST(AlertTest, ARunnersMessageWaitsBehindAnAlertOnceAndTheRestFollow) {
    auto* window = new AskingWindow();
    const std::shared_ptr<kit::Port> queue = window->Port();
    window->Show();
    ASSERT_EQ(window->PostMessage(kAsk), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Question"); }));
    ASSERT_TRUE(WaitUntil([&] { return queue->Queued() == 3; })) << "kReplace and a tick of each";
    // Five intervals on, as the window's thread finds them when it wakes in its alert: still one
    // of each.
    inspect::AdvanceClock(5 * 10000);
    queue->QueueDueTimers();
    EXPECT_EQ(queue->Queued(), 3u);
    ASSERT_TRUE(inspect::PressAlertButton("Question", "OK"));
    ASSERT_TRUE(WaitUntil([&] { return window->ticksAfterAlert >= 0; }));
    EXPECT_EQ(window->ticksAfterAlert, 1);
    // Five ticks of runner 2 come after runner 3 has sent all it had to.
    ASSERT_TRUE(WaitUntil([&] { return window->ticks[2] >= 5; }));
    EXPECT_EQ(window->ticks[3], 3);
    EXPECT_EQ(window->ticks[1], 0);

    window->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(WaitUntil([] { return !inspect::FindWindow("asking"); }));
}

// Go refuses at once on the GUI thread. Elsewhere it blocks its thread until a button is pressed
// (Escape and the close box press a lone one), or until the thread is stopped; then the box closes.
TEST(AlertTest, GoBlocksItsThreadUntilPressedOrStopped) {
    EXPECT_EQ((new BAlert("fel", "Could'nt connect to the IP", "OK"))->Go(), -1);
    enum Way { kPressed, kEscape, kCloseBox, kStopped };
    for (const Way way : {kPressed, kEscape, kCloseBox, kStopped}) {
        SCOPED_TRACE(way);
        std::atomic<int32> pressed{-100};  // until Go returns
        thread_id thread = spawn_thread(ShowAbout, "alert", B_NORMAL_PRIORITY, &pressed);
        resume_thread(thread);
        ASSERT_TRUE(WaitUntil([&] { return AlertShown("Quillet"); }));
        const inspect::AlertInfo alert = inspect::Alerts().front();
        EXPECT_EQ(alert.text, "Quillet\nby the Quillet authors\n\n");
        EXPECT_EQ(alert.buttons, std::vector<std::string>{"OK"});
        EXPECT_NE(alert.html.find("font-size:15px\">Quillet</span>"), std::string::npos);
        EXPECT_EQ(pressed, -100);
        if (way != kStopped) {
            ASSERT_TRUE(way == kPressed ? inspect::PressAlertButton("Quillet", "OK")
                                        : inspect::DismissAlert("Quillet", way == kCloseBox));
            ASSERT_TRUE(WaitUntil([&] { return pressed == 0; }));
        } else {
            ASSERT_EQ(kill_thread(thread), B_OK);
            EXPECT_EQ(pressed, -100) << "code after the stop point ran";
        }
        EXPECT_TRUE(WaitUntil([&] { return !AlertShown("Quillet"); }));
    }
}
