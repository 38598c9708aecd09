// What the tests read of the program's windows through the inspection hooks, on the test's thread:
// a view or a menu item of a window, the chat windows, the colours of the marks and the clock.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kit/qt/Inspect.h"

namespace testing_support {

constexpr char kMainTitle[] = "Quillet 1.4";
constexpr rgb_color kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};
constexpr rgb_color kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};

// A view of a window; a blank one when there is none.
inline kit::qt::inspect::ViewInfo ViewOf(const std::string& window, const char* name) {
    const auto info = kit::qt::inspect::FindWindow(window);
    const kit::qt::inspect::ViewInfo* view = info ? info->View(name) : nullptr;
    return view != nullptr ? *view : kit::qt::inspect::ViewInfo{};
}

// A menu item of a window by its label, in a menu or a submenu; a blank one when there is none.
inline kit::qt::inspect::MenuItemInfo MenuItem(const std::string& window,
                                               const std::string& label) {
    for (const auto& menu :
         kit::qt::inspect::FindWindow(window).value_or(kit::qt::inspect::WindowInfo{}).menus)
        for (const kit::qt::inspect::MenuItemInfo& item : menu.items)
            for (const auto& each : item.submenu.empty() ? std::vector{item} : item.submenu)
                if (each.label == label)
                    return each;
    return {};
}

// The chat windows on screen whose text view is there (a window may show before its views).
inline std::vector<kit::qt::inspect::WindowInfo> ChatWindows() {
    std::vector<kit::qt::inspect::WindowInfo> chats;
    for (kit::qt::inspect::WindowInfo& window : kit::qt::inspect::Windows())
        if (window.title == "Message" && window.View("Textruta") != nullptr)
            chats.push_back(std::move(window));
    return chats;
}

}  // namespace testing_support
