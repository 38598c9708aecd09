#include "kit/interface/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>

#include "kit/application/Application.h"
#include "kit/interface/StringView.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr uint32 kHello = 1;
constexpr rgb_color kRed{255, 0, 0, 0}, kBlue{0, 0, 255, 0};

// What the views and windows below saw, kept apart from them since they delete themselves.
struct Record {
    std::atomic<bool> deleted{false};
    std::atomic<thread_id> helloThread{-1}, quitRequestedThread{-1};
    std::atomic<int32> presses{0};
    std::atomic<float> x{-1}, y{-1};
};

class BoardLikeView : public BView {
public:
    BoardLikeView(Record& record)
        : BView(BRect(0, 20, 300, 320), "board", B_FOLLOW_NONE, B_WILL_DRAW), fRecord(record) {}
    void MessageReceived(BMessage* message) override {
        if (message->what == kHello)
            fRecord.helloThread = find_thread(nullptr);
    }
    void MouseDown(BPoint where) override {
        fRecord.x = where.x;
        fRecord.y = where.y;
        ++fRecord.presses;
    }

private:
    Record& fRecord;
};

class TestWindow : public BWindow {
public:
    TestWindow(const char* title, Record& record)
        : BWindow(BRect(100, 100, 400, 440), title, B_TITLED_WINDOW,
                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
          fRecord(record) {}
    ~TestWindow() override { fRecord.deleted = true; }
    bool QuitRequested() override {
        fRecord.quitRequestedThread = find_thread(nullptr);
        return true;
    }

private:
    Record& fRecord;
};

bool Gone(const std::string& title) {
    return !inspect::FindWindow(title).has_value();
}

}  // namespace

// A view's messenger, the mouse and the close box reach the window's thread; presses pass through
// the status text laid over the board's last row, and every change of that text or colour shows.
TEST(WindowTest, AViewGetsMessagesAndPressesOnItsWindowsThreadAndLabelsShowEachChange) {
    Record record;
    auto* window = new TestWindow("board", record);
    auto* view = new BoardLikeView(record);
    EXPECT_FALSE(BMessenger(view).IsValid()) << "a view in no window has no valid messenger";
    window->AddChild(view);
    auto* status = new BStringView(BRect(1, 310, 150, 340), "status", "Listen...");
    status->SetHighColor(kRed);
    window->AddChild(status);
    BMessenger messenger(view);
    ASSERT_TRUE(messenger.IsValid());
    window->Show();
    ASSERT_EQ(messenger.SendMessage(kHello), B_OK);
    ASSERT_TRUE(WaitUntil([&] { return record.helloThread != -1; }));
    EXPECT_EQ(record.helloThread, window->Thread());

    ASSERT_TRUE(WaitUntil([&] { return !Gone("board"); }));
    for (const auto& [click, where] :
         {std::pair{BPoint(25, 45), BPoint(25, 25)}, std::pair{BPoint(10, 315), BPoint(10, 295)}}) {
        const int32 before = record.presses;
        ASSERT_TRUE(inspect::Click("board", click));
        ASSERT_TRUE(WaitUntil([&] { return record.presses == before + 1; }));
        EXPECT_EQ(BPoint(record.x, record.y), where);
    }

    // A text or colour set again changes nothing, and a change back to an earlier one is a change.
    const std::pair<const char*, rgb_color> changes[] = {
        {"Listen...", kRed}, {"00:01", kRed}, {"00:01", kBlue}, {"00:02", kBlue}, {"00:01", kRed}};
    for (const auto& [text, color] : changes) {
        ASSERT_TRUE(window->Lock());
        status->SetText(text);
        status->SetHighColor(color);
        window->Unlock();
        EXPECT_TRUE(WaitUntil([&] {
            auto shown = inspect::FindWindow("board");
            const inspect::ViewInfo* label = shown ? shown->View("status") : nullptr;
            return label && label->text == text &&
                   label->color == rgb_color{color.red, color.green, color.blue, 255};
        })) << text;
    }

#ifdef KIT_THREAD_CHECKS
    // In the test builds a change from a thread that neither runs the window nor holds its lock
    // ends the program, naming the broken contract.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(window->SetTitle("foreign"), "threading contract broken");
#endif
    const thread_id windowThread = window->Thread();
    ASSERT_TRUE(inspect::Close("board"));
    ASSERT_TRUE(WaitUntil([&] { return Gone("board") && be_app->CountWindows() == 0; }));
    EXPECT_EQ(record.quitRequestedThread, windowThread);
    EXPECT_FALSE(messenger.IsValid());
}

// A window joins the application, and its quitting, only once it is whole: one still being built
// when the application quits is left alone, and asked to quit as soon as it shows.
TEST(WindowTest, AWindowBeingBuiltWhenTheApplicationQuitsIsAskedOnceShown) {
    Record record;
    auto* window = new TestWindow("late", record);
    ASSERT_TRUE(be_app->QuitRequested());
    ASSERT_FALSE(record.deleted) << "a half-built window was deleted";
    window->AddChild(new BStringView(BRect(1, 310, 150, 340), "status", "built"));
    window->Show();
    ASSERT_TRUE(WaitUntil([&] { return record.deleted.load(); }));
    EXPECT_NE(record.quitRequestedThread, -1);
    EXPECT_NE(record.quitRequestedThread, find_thread(nullptr)) << "asked on the GUI thread";
}
