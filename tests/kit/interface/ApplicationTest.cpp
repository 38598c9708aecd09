#include "kit/application/Application.h"

#include <gtest/gtest.h>

#include "kit/interface/View.h"
#include "kit/interface/Window.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;

namespace {

// A window of a group, slow to destroy; it may quit at once, or open another one as it quits.
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
