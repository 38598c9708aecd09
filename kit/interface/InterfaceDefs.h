// Constants of windows, views, menus, text and alerts.
#pragma once

#include "kit/kernel/OS.h"

enum window_type : uint32 {
    B_UNTYPED_WINDOW = 0,
    B_TITLED_WINDOW = 1,
    B_MODAL_WINDOW = 3,
    B_DOCUMENT_WINDOW = 11,
    B_BORDERED_WINDOW = 20,
    B_FLOATING_WINDOW = 21,
};

enum window_feel : uint32 {
    B_NORMAL_WINDOW_FEEL = 0,
    B_MODAL_APP_WINDOW_FEEL = 1,
};

enum : uint32 {
    B_NOT_MOVABLE = 0x00000001,
    B_NOT_RESIZABLE = 0x00000002,
    B_NOT_CLOSABLE = 0x00000020,
    B_NOT_ZOOMABLE = 0x00000040,
    B_NOT_MINIMIZABLE = 0x00004000,
    // The kit's own: the window opens without taking the focus from the window the user is
    // working in (one the program opens by itself); a click gives it the focus as usual.
    B_OPEN_WITHOUT_FOCUS = 0x00100000,
};

constexpr uint32 B_CURRENT_WORKSPACE = 0;

// The codes KeyDown gets for keys without a character of their own.
enum : char {
    B_BACKSPACE = 0x08,
    B_RETURN = 0x0a,
    B_ENTER = 0x0a,
    B_SPACE = 0x20,
    B_TAB = 0x09,
    B_ESCAPE = 0x1b,
    B_LEFT_ARROW = 0x1c,
    B_RIGHT_ARROW = 0x1d,
    B_UP_ARROW = 0x1e,
    B_DOWN_ARROW = 0x1f,
    B_INSERT = 0x05,
    B_DELETE = 0x7f,
    B_HOME = 0x01,
    B_END = 0x04,
    B_PAGE_UP = 0x0b,
    B_PAGE_DOWN = 0x0c,
};

// Modifier keys, as KeyDown's message and shortcuts give them.
enum : uint32 {
    B_SHIFT_KEY = 0x00000001,
    B_COMMAND_KEY = 0x00000002,
    B_CONTROL_KEY = 0x00000004,
    B_OPTION_KEY = 0x00000040,
};

// View flags.
enum : uint32 {
    B_NAVIGABLE = 0x02000000,
    B_PULSE_NEEDED = 0x10000000,
    B_WILL_DRAW = 0x20000000,
};

// Resizing modes: which edges of the parent each edge of the view follows when the parent grows
// (B_FOLLOW_NONE: left and top).
constexpr uint32 ResizingRule(uint32 top, uint32 left, uint32 bottom, uint32 right) {
    return top << 12 | left << 8 | bottom << 4 | right;
}
enum : uint32 {
    kFollowTopEdge = 1,
    kFollowLeftEdge = 2,
    kFollowBottomEdge = 3,
    kFollowRightEdge = 4,
};
enum : uint32 {
    B_FOLLOW_NONE = 0,
    B_FOLLOW_LEFT = ResizingRule(0, kFollowLeftEdge, 0, kFollowLeftEdge),
    B_FOLLOW_RIGHT = ResizingRule(0, kFollowRightEdge, 0, kFollowRightEdge),
    B_FOLLOW_LEFT_RIGHT = ResizingRule(0, kFollowLeftEdge, 0, kFollowRightEdge),
    B_FOLLOW_TOP = ResizingRule(kFollowTopEdge, 0, kFollowTopEdge, 0),
    B_FOLLOW_BOTTOM = ResizingRule(kFollowBottomEdge, 0, kFollowBottomEdge, 0),
    B_FOLLOW_TOP_BOTTOM = ResizingRule(kFollowTopEdge, 0, kFollowBottomEdge, 0),
    B_FOLLOW_ALL_SIDES = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP_BOTTOM,
};

enum menu_layout { B_ITEMS_IN_ROW = 0, B_ITEMS_IN_COLUMN = 1 };

enum border_style { B_PLAIN_BORDER = 0, B_FANCY_BORDER = 1, B_NO_BORDER = 2 };

constexpr float B_V_SCROLL_BAR_WIDTH = 14;
constexpr float B_H_SCROLL_BAR_HEIGHT = 14;

enum button_width { B_WIDTH_AS_USUAL = 0, B_WIDTH_FROM_WIDEST = 1, B_WIDTH_FROM_LABEL = 2 };
enum alert_type {
    B_EMPTY_ALERT = 0,
    B_INFO_ALERT = 1,
    B_IDEA_ALERT = 2,
    B_WARNING_ALERT = 3,
    B_STOP_ALERT = 4,
};

// Which parts of a font SetFontAndColor applies.
enum : uint32 { B_FONT_SIZE = 0x2, B_FONT_ALL = 0xff };
