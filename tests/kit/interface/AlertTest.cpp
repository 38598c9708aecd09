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
    const std::vector<inspect::AlertInfo> alerts = inspect::Alerts();
    return std::any_of(alerts.begin(), alerts.end(),
                       [&](auto& alert) { return alert.title == title; });
}

struct Outcome {
    std::atomic<int32> pressed{-100};
    std::atomic<bool> returned{false};
};

int32 ShowAbout(void* data) {
    auto* outcome = static_cast<Outcome*>(data);
    auto* alert = new BAlert("Quillet", "Quillet\nby the Quillet authors\n\n", "OK");
    alert->TextView()->SetStylable(true);
    BFont big;
    big.SetSize(15);
    alert->TextView()->SetFontAndColor(0, 7, &big, B_FONT_ALL);
    outcome->pressed = alert->Go();
    outcome->returned = true;
    return 0;
}

constexpr uint32 kAsk = 1, kTick = 2, kAfter = 3;

// On kAsk starts a runner of three ticks and waits in an alert; once it is answered, notes how
// many ticks it had handled when the message it posted itself then arrives.
class AskingWindow : public BWindow {
public:
    AskingWindow()
        : BWindow(BRect(100, 100, 200, 150), "asking", B_TITLED_WINDOW,
                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE) {}
    void MessageReceived(BMessage* message) override {
        if (message->what == kAsk) {
            BMessage tick(kTick);
            fRunner = std::make_unique<BMessageRunner>(BMessenger(this), &tick, 10000, 3);
            (new BAlert("Question", "Wait?", "OK"))->Go();
            PostMessage(kAfter);
        } else if (message->what == kTick) {
            ++ticks;
        } else if (message->what == kAfter) {
            ticksAfterAlert = ticks.load();
        }
    }
    std::atomic<int32> ticks{0}, ticksAfterAlert{-1};

private:
    std::unique_ptr<BMessageRunner> fRunner;
};

}  // namespace

// The ticks that fall due while the window's thread waits in an alert leave one in its queue, and
// those skipped meanwhile do not count. The close box of a window waiting in an alert (which, being
// application-modal, blocks it) is kept: the window quits once the alert is answered.
TEST(AlertTest, AWindowWaitingInAnAlertKeepsOneTickAndItsCloseBoxForAfter) {
    auto* window = new AskingWindow();
    const std::shared_ptr<kit::Port> queue = window->Port();
    window->Show();
    ASSERT_EQ(window->PostMessage(kAsk), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Question"); }));
    ASSERT_TRUE(WaitUntil([&] { return queue->Queued() == 1; })) << "the alert queued no tick";
    EXPECT_EQ(window->ticks, 0);
    ASSERT_TRUE(inspect::PressAlertButton("Question", "OK"));
    ASSERT_TRUE(WaitUntil([&] { return window->ticksAfterAlert >= 0; }));
    EXPECT_EQ(window->ticksAfterAlert, 1);
    EXPECT_TRUE(WaitUntil([&] { return window->ticks == 3; }));

    ASSERT_EQ(window->PostMessage(kAsk), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Question"); }));
    ASSERT_TRUE(inspect::Close("asking"));
    ASSERT_TRUE(inspect::PressAlertButton("Question", "OK"));
    const bool gone = WaitUntil([] { return !inspect::FindWindow("asking"); });
    if (!gone)
        BMessenger(window).SendMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(gone) << "the close box was lost";
}

// Go refuses at once on the GUI thread. Elsewhere it blocks its thread until a button is pressed
// (Escape and the close box press a lone one), or until the thread is stopped; then the box closes.
TEST(AlertTest, GoBlocksItsThreadUntilPressedOrStopped) {
    EXPECT_EQ((new BAlert("fel", "Could'nt connect to the IP", "OK"))->Go(), -1);
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
