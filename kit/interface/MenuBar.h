// BMenuBar: the bar of menus at the top of a window, 20 pixels high at the reference font and as
// high as the style needs on screen (what lies below it moves down by as much), so it never covers
// what lies below it. Each of its items is a menu; their items send their messages to the window.
// Used on its window's thread.
#pragma once

#include <vector>

#include "kit/interface/Menu.h"

class BMenuBar : public BMenu {
public:
    BMenuBar(BRect frame, const char* name,
             uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
             menu_layout layout = B_ITEMS_IN_ROW, bool resizeToFit = true);

    static constexpr float kHeight = 20;

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;

private:
    // The specs of a menu's items, its submenus' included; the items have peers from now on.
    static std::vector<kit::qt::MenuItemSpec> ItemSpecs(const BMenu& menu);
};
