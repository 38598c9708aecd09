#include "kit/interface/Alert.h"

#include <gtest/gtest.h>

#include <atomic>

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

}  // namespace

TEST(AlertTest, GoBlocksItsThreadUntilTheButtonIsPressed) {
    Outcome outcome;
    thread_id thread = spawn_thread(ShowAbout, "alert", B_NORMAL_PRIORITY, &outcome);
    resume_thread(thread);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Quillet"); }));
    const inspect::AlertInfo alert = inspect::Alerts().front();
    EXPECT_EQ(alert.text, "Quillet\nby the Quillet authors\n\n");
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"OK"});
    EXPECT_NE(alert.html.find("font-size:15px\">Quillet</span>"), std::string::npos) << alert.html;
    EXPECT_FALSE(outcome.returned);

    ASSERT_TRUE(inspect::PressAlertButton("Quillet", "OK"));
    ASSERT_TRUE(WaitUntil([&] { return outcome.returned.load(); }));
    EXPECT_EQ(outcome.pressed, 0);
    EXPECT_TRUE(WaitUntil([&] { return !AlertShown("Quillet"); }));
}

TEST(AlertTest, AThreadWaitingInAnAlertIsStoppedAtOnceAndTheBoxCloses) {
    Outcome outcome;
    thread_id thread = spawn_thread(ShowAbout, "alert", B_NORMAL_PRIORITY, &outcome);
    resume_thread(thread);
    ASSERT_TRUE(WaitUntil([&] { return AlertShown("Quillet"); }));
    const bigtime_t start = system_time();
    ASSERT_EQ(kill_thread(thread), B_OK);
    EXPECT_LT(system_time() - start, 1000000);
    EXPECT_FALSE(outcome.returned) << "code after the stop point ran";
    EXPECT_TRUE(WaitUntil([&] { return !AlertShown("Quillet"); }));
}

TEST(AlertTest, GoOnTheGuiThreadRefusesAtOnce) {
    EXPECT_EQ((new BAlert("fel", "Could'nt connect to the IP", "OK"))->Go(), -1);
}
