#include "kit/interface/Alert.h"

#include <gtest/gtest.h>

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

struct Outcome {
    std::atomic<int32> pressed{-100};
    std::atomic<bool> returned{false};
};

int32 ShowAbout(void* data) {
    auto* outcome = static_cast<Outcome*>(data);
    auto* alert = new BAlert("Quillet", "Quillet\nby the Quillet authors\n\n", "OK");
    BTextView* text = alert->TextView();
    text->SetStylable(true);
    BFont big;
    big.SetSize(15);
    text->SetFontAndColor(0, 7, &big, B_FONT_ALL);
    outcome->pressed = alert->Go();
    outcome->returned = true;
    return 0;
}

bool AlertShown(const std::string& title) {
    for (const inspect::AlertInfo& alert : inspect::Alerts()) {
        if (alert.title == title)
            return true;
    }
    return false;
}

constexpr uint32 kAsk = 1, kTick = 2, kAfter = 3;

// On kAsk starts a runner of three ticks and waits in an alert; once it is dismissed, notes how
// many ticks it had handled when the message it posted itself then arrives.
class AskingWindow : public BWindow {
public:
    AskingWindow()
        : BWindow(BRect(100, 100, 200, 150), "asking", B_TITLED_WINDOW,
                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE) {}
    void MessageReceived(BMessage* message) override {
        switch (message->what) {
            case kAsk: {
                BMessage tick(kTick);
                fRunner = std::make_unique<BMessageRunner>(BMessenger(this), &tick, 10000, 3);
                (new BAlert("Question", "Wait?", "OK"))->Go();
                PostMessage(kAfter);
                break;
            }
            case kTick:
                ++ticks;
                break;
            case kAfter:
                ticksAfterAlert = ticks.load();
                break;
        }
    }
    std::atomic<int32> ticks{0};
    std::atomic<int32> ticksAfterAlert{-1};

private:
    std::unique_ptr<BMessageRunner> fRunner;
};

}  // namespace

TEST(AlertTest, ARunnersMessageWaitsBehindAnAlertOnceAndTheRestFollow) {
    auto* window = new AskingWindow();
    const std::shared_ptr<kit::Port> queue = window->Port();
    window->Show();
    ASSERT_EQ(window->PostMessage(kAsk), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Question"); }));
    // The ticks fall due while the window's thread waits in the alert: one joins the queue.
    ASSERT_TRUE(WaitUntil([&] { return queue->Queued() == 1; })) << "the alert queued no tick";
    EXPECT_EQ(window->ticks, 0);
    ASSERT_TRUE(inspect::PressAlertButton("Question", "OK"));
    ASSERT_TRUE(WaitUntil([&] { return window->ticksAfterAlert >= 0; }));
    EXPECT_EQ(window->ticksAfterAlert, 1);
    // The ticks skipped meanwhile do not count: all three come.
    EXPECT_TRUE(WaitUntil([&] { return window->ticks == 3; }));
    window->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(WaitUntil([] { return !inspect::FindWindow("asking"); }));
}

// The window system's close request for a window whose thread waits in an alert (the alert, being
// application-modal, blocks it) is kept: the window quits once the alert is answered.
TEST(AlertTest, TheCloseBoxOfAWindowWaitingInAnAlertQuitsItOnceTheAlertIsAnswered) {
    auto* window = new AskingWindow();
    window->Show();
    ASSERT_EQ(window->PostMessage(kAsk), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Question"); }));
    ASSERT_TRUE(inspect::Close("asking"));
    ASSERT_TRUE(inspect::PressAlertButton("Question", "OK"));
    const bool gone = WaitUntil([] { return !inspect::FindWindow("asking"); });
    if (!gone)
        BMessenger(window).SendMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(gone) << "the close box was lost";
}

// Go blocks its thread until a button is pressed, or until the thread is stopped; either way the
// box closes.
// Escape and the close box press a lone button.
TEST(AlertTest, GoBlocksItsThreadUntilPressedOrStopped) {
    enum Way { kPressed, kEscape, kCloseBox, kStopped };
    for (const Way way : {kPressed, kEscape, kCloseBox, kStopped}) {
        SCOPED_TRACE(way);
        Outcome outcome;
        thread_id thread = spawn_thread(ShowAbout, "alert", B_NORMAL_PRIORITY, &outcome);
        resume_thread(thread);
        ASSERT_TRUE(WaitUntil([&] { return AlertShown("Quillet"); }));
        const inspect::AlertInfo alert = inspect::Alerts().front();
        EXPECT_EQ(alert.text, "Quillet\nby the Quillet authors\n\n");
        EXPECT_EQ(alert.buttons, std::vector<std::string>{"OK"});
        EXPECT_NE(alert.html.find("font-size:15px\">Quillet</span>"), std::string::npos);
        EXPECT_FALSE(outcome.returned);
        if (way != kStopped) {
            ASSERT_TRUE(way == kPressed ? inspect::PressAlertButton("Quillet", "OK")
                                        : inspect::DismissAlert("Quillet", way == kCloseBox));
            ASSERT_TRUE(WaitUntil([&] { return outcome.returned.load(); }));
            EXPECT_EQ(outcome.pressed, 0);
        } else {
            ASSERT_EQ(kill_thread(thread), B_OK);
            EXPECT_FALSE(outcome.returned) << "code after the stop point ran";
        }
        EXPECT_TRUE(WaitUntil([&] { return !AlertShown("Quillet"); }));
    }
}

TEST(AlertTest, GoOnTheGuiThreadRefusesAtOnce) {
    EXPECT_EQ((new BAlert("fel", "Could'nt connect to the IP", "OK"))->Go(), -1);
}
