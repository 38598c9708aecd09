#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr char kTitle[] = "Quillet 1.4";

std::optional<inspect::WindowInfo> ShownMainWindow() {
    std::optional<inspect::WindowInfo> window = inspect::FindWindow(kTitle);
    if (window && window->View("time status") != nullptr)
        return window;
    return std::nullopt;
}

bool MainWindowGone() {
    return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0;
}

}  // namespace

TEST(MainWindowTest, StartsUpAsTheUserExpects) {
    new MainWindow();
    std::optional<inspect::WindowInfo> window;
    ASSERT_TRUE(WaitUntil([&] { return (window = ShownMainWindow()).has_value(); }));

    EXPECT_EQ(window->frame, BRect(200, 200, 500, 540)) << "301 x 341 pixels of content";
    EXPECT_FALSE(window->resizable);
    EXPECT_FALSE(window->zoomable);

    ASSERT_EQ(window->menus.size(), 3u);
    EXPECT_EQ(window->menus[0].title, "File");
    EXPECT_EQ(window->menus[1].title, "Internet");
    EXPECT_EQ(window->menus[2].title, "Help");
    auto expectItems = [&](size_t menu, std::vector<inspect::MenuItemInfo> items) {
        ASSERT_EQ(window->menus[menu].items.size(), items.size()) << window->menus[menu].title;
        for (size_t i = 0; i < items.size(); ++i) {
            const inspect::MenuItemInfo& item = window->menus[menu].items[i];
            EXPECT_EQ(item.label, items[i].label);
            EXPECT_EQ(item.shortcut, items[i].shortcut) << item.label;
            EXPECT_EQ(item.enabled, items[i].enabled) << item.label;
        }
    };
    expectItems(0, {{"New local game", "Ctrl+N", true}, {"", "", true}, {"Quit", "Ctrl+Q", true}});
    expectItems(1, {{"Connect...", "Ctrl+C", true},
                    {"Disconnect", "Ctrl+D", false},
                    {"Send message", "Ctrl+M", false}});
    expectItems(2, {{"About...", "", true}});

    struct Expected {
        const char* name;
        const char* text;
        BRect frame;
    };
    for (const Expected& expected :
         {Expected{"status connect", "Listen for connections...", BRect(1, 310, 150, 340)},
          Expected{"x connect", "X: 0", BRect(220, 310, 260, 340)},
          Expected{"o connect", "O: 0", BRect(260, 310, 295, 340)},
          Expected{"time status", "00:00", BRect(170, 310, 210, 340)}}) {
        const inspect::ViewInfo* view = window->View(expected.name);
        ASSERT_NE(view, nullptr) << expected.name;
        EXPECT_EQ(view->kind, "label");
        EXPECT_EQ(view->text, expected.text);
        EXPECT_EQ(view->frame, expected.frame) << expected.name;
    }
    EXPECT_EQ(window->View("time status")->color, (rgb_color{255, 0, 0, 255}));
    EXPECT_EQ(window->View("status connect")->color, (rgb_color{0, 0, 0, 255}));
    EXPECT_EQ(window->View("Menyn")->frame, BRect(0, 0, 300, 19));

    ASSERT_TRUE(inspect::Close(kTitle));
    EXPECT_TRUE(WaitUntil(MainWindowGone));
}

TEST(MainWindowTest, QuitFromTheMenuEndsTheProgram) {
    new MainWindow();
    ASSERT_TRUE(WaitUntil([&] { return ShownMainWindow().has_value(); }));
    ASSERT_TRUE(inspect::TriggerMenuItem(kTitle, "Quit"));
    EXPECT_TRUE(WaitUntil(MainWindowGone));
}
