// What a user sees and does, for the tests: reads the GUI thread's widgets and sends them input
// the way a user would. GUI thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/InterfaceDefs.h"
#include "kit/interface/Rect.h"

namespace kit::qt::inspect {

// Runs the GUI thread's pending events, waiting up to a few milliseconds for one.
void ProcessEvents();
// Moves the clock on, as that much time passing would for the runners, the move clock, the kit
// threads' sleeps and every deadline of system_time; Qt's own timers keep real time.
void AdvanceClock(bigtime_t microseconds);

// The look of the windows made from now on, as a desktop would set it: a Qt style by name, the
// application font's point size, and a light or dark palette. False when there is no such style.
bool SetLook(const std::string& style, int pointSize, bool dark);

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
    bool shown;  // the title shows whole in the bar, not behind its overflow button
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
    // The size the style and font ask for (menu bars, labels, buttons, text controls); 0 x 0 for
    // views that scroll or scale what they show.
    int hintWidth = 0;
    int hintHeight = 0;
};
struct WindowInfo {
    std::string title;
    BRect frame;  // content area on screen
    bool resizable;
    bool zoomable;
    bool modal;
    bool floating;
    bool active;        // it has the focus
    bool attention;     // its urgency hint is set (on a platform that has one; not offscreen)
    std::string owner;  // the title of the window it belongs to (transient for); empty for none
    std::vector<MenuInfo> menus;
    std::vector<ViewInfo> views;
    BRect screen;  // the available area of the window's screen
    double scale;  // device pixels per pixel on that screen
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
// Escape pressed in the alert, or its close box.
bool DismissAlert(const std::string& title, bool closeBox);

// Picks path in the open-file chooser on screen, as a user would, and confirms it; false when no
// chooser is open.
bool ChooseFile(const std::string& path);

// A left mouse press at a point of the window's content; the widget under it gets it.
bool Click(const std::string& window, BPoint where);
// The first item so labelled, in the menus and their submenus, when it is enabled.
bool TriggerMenuItem(const std::string& window, const std::string& item);
bool PressButton(const std::string& window, const std::string& view);
// A key pressed and released in a window as the keyboard would: the window's shortcuts first,
// then its focused widget. key: a printable character or a key code (B_UP_ARROW, B_ENTER, B_TAB,
// B_ESCAPE, ...); modifiers: B_CONTROL_KEY, B_SHIFT_KEY. False while a modal box blocks the
// window, as no key reaches it then.
bool PressKey(const std::string& window, char key, uint32 modifiers = 0);
// Types text key by key into a text control or text view ("\n" is the Enter key).
bool Type(const std::string& window, const std::string& view, const std::string& text);
// Makes an item of a list view the current one and presses Enter on it, as a user choosing it.
bool ChooseListItem(const std::string& window, const std::string& view, int row);
// The close box of the nth window of that title, in the order Windows lists them.
bool Close(const std::string& window, size_t nth = 0);
// The window becomes the active one, as a window manager makes it when a box above it closes.
bool Activate(const std::string& window);
// Sets the size of a window's content, as the user's dragging or the window manager would.
bool Resize(const std::string& window, int width, int height);
// A pixel of a drawn view as it is shown, in the device pixels of its image.
std::optional<rgb_color> Pixel(const std::string& window, const std::string& view, int x, int y);
// A pixel of a window's content as last painted on screen (its backing store), at a point of the
// window in device pixels.
std::optional<rgb_color> ScreenPixel(const std::string& window, int x, int y);
// Every pixel of a drawn view as it is shown, row by row; empty when there is no such view.
std::vector<rgb_color> Pixels(const std::string& window, const std::string& view);
// The size in device pixels of the image a drawn view shows, and device pixels per view pixel.
struct ImageSize {
    int width;
    int height;
    double scale;
};
std::optional<ImageSize> CanvasImage(const std::string& window, const std::string& view);
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

// What assistive tools see of a window: roles as Qt names them ("Table", "Cell", "StaticText",
// "PushButton", ...), names, descriptions, and which one has the focus.
struct AccessibleNode {
    std::string role;
    std::string name;
    std::string description;
    bool focused;
    std::vector<AccessibleNode> children;
    // The first node so named, depth first, this one included; null when there is none.
    const AccessibleNode* Find(const std::string& name) const;
};
std::optional<AccessibleNode> AccessibleTree(const std::string& window);
// A drawn view as a table to assistive tools: its cells' names row by row, as its table
// interface gives them, and the focused cell's row and column (-1 for none).
struct AccessibleTableInfo {
    int columns;
    int rows;
    std::vector<std::string> cells;
    int focusedColumn;
    int focusedRow;
};
std::optional<AccessibleTableInfo> AccessibleTable(const std::string& window,
                                                   const std::string& view);
// From now on, what assistive tools are told, in order: the event ("NameChanged", "Focus",
// "DescriptionChanged", ...) and the name and description of what it is about. The peers tell
// of their changes from now on as they do while a tool listens.
struct AccessibleEventInfo {
    std::string event;
    std::string role;
    std::string name;
    std::string description;
};
std::shared_ptr<const std::vector<AccessibleEventInfo>> WatchAccessibility();
// A desktop's notification service (org.freedesktop.Notifications) on the session bus, on a
// connection of its own, for as long as it lives: it keeps what it got and answers each Notify
// call with a new id, or, made with answers false, never answers (a service that hangs). Its
// calls may come on any thread.
struct Notification {
    std::string appName;
    uint32 replacesId;
    std::string icon;
    std::string summary;
    std::string body;
    std::string desktopEntry;  // the "desktop-entry" hint
    uint32 id;                 // the id the service gave it
};
class NotificationService {
public:
    explicit NotificationService(bool answers = true);
    ~NotificationService();
    // Whether it owns the service's name on the bus.
    bool Serving() const;
    std::vector<Notification> Received() const;

private:
    struct Server;
    std::unique_ptr<Server> fServer;
};

}  // namespace kit::qt::inspect
