#include "kit/interface/StringView.h"

#include <gtest/gtest.h>

#include "kit/interface/Window.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr uint32 kStep = 1;  // "n": which step
constexpr rgb_color kRed{255, 0, 0, 0}, kBlue{0, 0, 255, 0};

// Changes its label as a window's handler would, one step per message.
class ClockWindow : public BWindow {
public:
    ClockWindow()
        : BWindow(BRect(100, 100, 300, 140), "label", B_TITLED_WINDOW,
                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
          fClock(new BStringView(BRect(0, 0, 100, 30), "clock", "00:00")) {
        fClock->SetHighColor(kRed);
        AddChild(fClock);
    }
    void MessageReceived(BMessage* message) override {
        int32 step = 0;
        message->FindInt32("n", &step);
        switch (step) {
            case 1:
                fClock->SetText("00:01");
                break;
            case 2:
                fClock->SetText("00:01");
                fClock->SetHighColor(kBlue);
                break;
            case 3:
                fClock->SetText("00:02");
                break;
            case 4:
                fClock->SetHighColor(kBlue);
                fClock->SetText("00:01");
                fClock->SetHighColor(kRed);
                break;
        }
    }

private:
    BStringView* const fClock;
};

bool Shows(const char* text, rgb_color color) {
    color.alpha = 255;
    return WaitUntil([&] {
        auto window = inspect::FindWindow("label");
        const inspect::ViewInfo* view = window ? window->View("clock") : nullptr;
        return view != nullptr && view->text == text && view->color == color;
    });
}

}  // namespace

TEST(StringViewTest, EveryChangeOfTextOrColourShows) {
    auto* window = new ClockWindow();
    window->Show();
    ASSERT_TRUE(Shows("00:00", kRed));
    // Each step is shown before the next is taken; a text or colour set again changes nothing,
    // and a change back to an earlier one is a change.
    auto step = [&](int32 n) {
        BMessage message(kStep);
        message.AddInt32("n", n);
        return window->PostMessage(&message) == B_OK;
    };
    EXPECT_TRUE(step(1) && Shows("00:01", kRed));
    EXPECT_TRUE(step(2) && Shows("00:01", kBlue));
    EXPECT_TRUE(step(3) && Shows("00:02", kBlue));
    EXPECT_TRUE(step(4) && Shows("00:01", kRed));

    window->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(WaitUntil([] { return !inspect::FindWindow("label"); }));
}
