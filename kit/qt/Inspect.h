// What a user sees and does, for the tests: reads the GUI thread's widgets and sends them input
// the way a user would. GUI thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/Rect.h"

namespace kit::qt::inspect {

// Runs the GUI thread's pending events, waiting up to a few milliseconds for one.
void ProcessEvents();

struct MenuItemInfo {
    std::string label;  // empty for a separator
    std::string shortcut;
    bool enabled;
    bool marked;
    // The items of the submenu the item opens; empty for a plain item.
    std::vector<MenuItemInfo> submenu;
};
struct MenuInfo {
    std::string title;
    std::vector<MenuItemInfo> items;
};
struct ViewInfo {
    std::string name;
    std::string kind;  // canvas, label, textcontrol, button, textview, list, menubar, container
    std::string text;  // a list's items, one a line
    rgb_color color;   // of the text
    bool enabled;
    bool editable;
    bool focused;  // the window's focus widget
    BRect frame;   // in window coordinates
};
struct WindowInfo {
    std::string title;
    BRect frame;  // content area on screen
    bool resizable;
    bool zoomable;
    bool modal;
    bool floating;
    std::vector<MenuInfo> menus;
    std::vector<ViewInfo> views;
    const ViewInfo* View(const std::string& name) const;
};
// The kit windows on screen, in the order they were made.
std::vector<WindowInfo> Windows();
std::optional<WindowInfo> FindWindow(const std::string& title);

struct AlertInfo {
    std::string title;
    std::string text;  // plain
    std::string html;
    std::vector<std::string> buttons;
};
std::vector<AlertInfo> Alerts();
bool PressAlertButton(const std::string& title, const std::string& button);

// A left mouse press at a point of the window's content; the widget under it gets it.
bool Click(const std::string& window, BPoint where);
// The first item so labelled, in the menus and their submenus, when it is enabled.
bool TriggerMenuItem(const std::string& window, const std::string& item);
bool PressButton(const std::string& window, const std::string& view);
// Types text key by key into a text control or text view ("\n" is the Enter key).
bool Type(const std::string& window, const std::string& view, const std::string& text);
// Makes an item of a list view the current one and presses Enter on it, as a user choosing it.
bool ChooseListItem(const std::string& window, const std::string& view, int row);
// The close box.
bool Close(const std::string& window);
// A pixel of a drawn view as it is shown.
std::optional<rgb_color> Pixel(const std::string& window, const std::string& view, int x, int y);
// Every pixel of a drawn view as it is shown, row by row; empty when there is no such view.
std::vector<rgb_color> Pixels(const std::string& window, const std::string& view);
// What a drawn view's window thread has sent the GUI thread so far: the pieces of image and the
// bytes of their pixels.
struct Traffic {
    int64 pieces;
    int64 bytes;
};
std::optional<Traffic> CanvasTraffic(const std::string& window, const std::string& view);
// From now on, the colour of one pixel of a drawn view after each piece it shows, in order
// (empty and never filled when there is no such view).
std::shared_ptr<const std::vector<rgb_color>> WatchPixel(const std::string& window,
                                                         const std::string& view, int x, int y);
// From now on, a label's text and colour after each change, in order (empty and never filled
// when there is no such label): no state it passes through is missed, however briefly shown.
struct LabelState {
    std::string text;
    rgb_color color;
};
std::shared_ptr<const std::vector<LabelState>> WatchLabel(const std::string& window,
                                                          const std::string& view);

}  // namespace kit::qt::inspect
