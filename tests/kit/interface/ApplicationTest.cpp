#include "kit/application/Application.h"

#include <gtest/gtest.h>

#include <vector>

#include "kit/application/MessageRunner.h"
#include "kit/interface/View.h"
#include "kit/interface/Window.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

constexpr uint32 kTick = 1;

// A handler of the application, so run on the GUI thread: notes when each tick came.
class Counter : public BHandler {
public:
    void MessageReceived(BMessage*) override { times.push_back(system_time()); }
    std::vector<bigtime_t> times;
};

// A window of a group, with views enough that its destructor takes a while. It may quit as soon
// as it shows, or open another window of its group when asked to quit (as a chat's "Reply" may).
class GroupWindow : public BWindow {
public:
    GroupWindow(const void* group, bool quitAtOnce, bool opensAnother)
        : BWindow(BRect(10, 10, 110, 110), "group", B_TITLED_WINDOW, 0),
          fGroup(group),
          fOpensAnother(opensAnother) {
        for (int view = 0; view < 20; ++view)
            AddChild(new BView(BRect(0, view, 100, view), "line", B_FOLLOW_NONE, 0));
        SetGroup(group);
        Show();
        if (quitAtOnce)
            PostMessage(B_QUIT_REQUESTED);
    }
    bool QuitRequested() override {
        if (fOpensAnother)
            new GroupWindow(fGroup, false, false);
        return true;
    }

private:
    const void* const fGroup;
    const bool fOpensAnother;
};

}  // namespace

// QuitWindows asks every window of its group, those shown meanwhile too, and returns once each
// has gone, while windows of the group quit on their own: their destructors run on their own
// threads while they are still registered, and the registry must not look at them then (which
// ThreadSanitizer sees). A window of another group stays.
TEST(ApplicationTest, QuitWindowsEndsItsGroupWhileWindowsOfItQuitOnTheirOwn) {
    int group = 0, other = 0;
    for (int round = 0; round < 20; ++round) {
        auto* bystander = new GroupWindow(&other, false, false);
        new GroupWindow(&group, false, true);
        for (int window = 0; window < 6; ++window)
            new GroupWindow(&group, true, false);
        be_app->QuitWindows(&group);
        EXPECT_EQ(be_app->CountWindows(), 1) << "round " << round;
        BMessenger(bystander).SendMessage(B_QUIT_REQUESTED);
        ASSERT_TRUE(WaitUntil([] { return be_app->CountWindows() == 0; }));
    }
}

// The application's queue has no thread to wait on it: its event loop keeps the runners' time.
TEST(ApplicationTest, ARunnerForTheApplicationTicksOnTheGuiThreadAndNeverEarly) {
    constexpr bigtime_t kInterval = 10000;
    Counter counter;
    be_app->AddHandler(&counter);
    BMessage tick(kTick);
    const bigtime_t made = system_time();
    BMessageRunner runner(BMessenger(&counter), &tick, kInterval, 3);
    ASSERT_TRUE(WaitUntil([&] { return counter.times.size() == 3; }));
    for (size_t n = 0; n < 3; ++n)
        EXPECT_GE(counter.times[n] - made, bigtime_t(n + 1) * kInterval) << "tick " << n + 1;
    be_app->RemoveHandler(&counter);
}
