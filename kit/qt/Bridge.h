// The GUI thread's side of the kit, as seen from the kit's windows and views. No Qt here.
//
// Qt widgets (peers) live on the GUI thread, the main thread, and are touched only there. Every
// function below may be called from any thread: it queues a command that the GUI thread runs
// later, in the order queued, and returns at once (fire and forget). A peer is named by a
// PeerId; a command for a peer that is gone does nothing. A peer never points at its kit object:
// it keeps what it shows, a messenger for what it sends, and a shared model for what the user
// types.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kit/application/AppDefs.h"
#include "kit/application/Messenger.h"
#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/Rect.h"
#include "kit/kernel/StopPoint.h"

namespace kit::qt {

using PeerId = uint64;
PeerId NewPeerId();

// --- The application (main thread only, except QuitGui and Post) ---
// Makes the Qt application object, with the name, desktop file name and window icon that
// kit::ReadCommandLine gave the program, if it ran. With no display to show on it says so in one
// line on standard error and ends the program with status 1.
void StartGui();
void RunGui();
void QuitGui();
void EndGui();
bool IsGuiThread();
// Runs command on the GUI thread, after every command queued before it.
void Post(std::function<void()> command);
// Runs wake on the GUI thread once, at deadline (system_time) or a little after; a later call
// replaces an earlier one, and B_INFINITE_TIMEOUT cancels it. GUI thread only.
void SetGuiAlarm(bigtime_t deadline, std::function<void()> wake);
// SIGINT, SIGTERM and SIGHUP become B_QUIT_REQUESTED to target.
void InstallQuitSignals(BMessenger target);

// Text that the user edits on the GUI thread and the kit reads from its own thread. A text view's
// peer is brought up to date from it as well: the kit changes the text here and posts an update
// only when none is pending, and the update hands the peer what was appended since it last looked,
// or the whole text after any other change. So however often the kit changes a text, at most one
// update waits on the GUI thread, and it holds no text of its own.
struct SharedText {
    std::string Get() const {
        std::lock_guard lock(mutex);
        return text;
    }
    std::size_t Size() const {
        std::lock_guard lock(mutex);
        return text.size();
    }
    // What the user typed: the peer shows it already.
    void Set(std::string value) {
        std::lock_guard lock(mutex);
        text = std::move(value);
        shown = text.size();
    }
    // The kit's changes. Each is true when the caller is to post an update to the peer (none was
    // pending; the peer's first look counts as one).
    bool Replace(std::string value) {
        std::lock_guard lock(mutex);
        text = std::move(value);
        replaced = true;
        return !std::exchange(updatePending, true);
    }
    bool Append(std::string_view more) {
        std::lock_guard lock(mutex);
        text.append(more);
        return !std::exchange(updatePending, true);
    }
    // For the peer (GUI thread): what it has to show now, appended or whole.
    struct Update {
        bool whole;
        std::string text;
    };
    Update TakeUpdate(bool whole) {
        std::lock_guard lock(mutex);
        whole = whole || replaced;
        Update update{whole, whole ? text : text.substr(shown)};
        shown = text.size();
        replaced = false;
        updatePending = false;
        return update;
    }

private:
    mutable std::mutex mutex;  // guards everything below
    std::string text;
    std::size_t shown = 0;  // bytes of text the peer shows
    bool replaced = false;  // changed otherwise than at its end since the peer last looked
    bool updatePending = false;
};

// --- Windows ---
struct WindowSpec {
    BRect frame;
    std::string title;
    uint32 type;
    uint32 flags;
    BMessenger window;  // gets B_QUIT_REQUESTED from the close box
    // Whether the window has the focus: the peer keeps it, the window reads it.
    std::shared_ptr<std::atomic<bool>> active;
};
void CreateWindow(PeerId id, WindowSpec description);
void SetWindowTitle(PeerId id, std::string title);
void SetWindowModal(PeerId id, bool modal);
// A window with an owner opens over it, cascaded, and stays in front of it (transient for it);
// one with B_OPEN_WITHOUT_FOCUS opens without taking the focus.
void ShowWindow(PeerId id);
void SetWindowOwner(PeerId id, PeerId owner);
// The urgency hint, until the window is activated; nothing while it is active.
void RequestAttention(PeerId id);
// A desktop notification in the name of the program (its desktop entry and icon) through the
// freedesktop notification service on the session bus, replacing the one it sent last. The bus
// is talked to on a thread of its own, which waits for no one else and which no one waits for
// but the application's end (a second at most): without a bus or a service, nothing shows.
void Notify(std::string summary, std::string body);
// Destroys any peer (a window with everything in it, a view, an alert).
void DestroyPeer(PeerId id);

// --- Views ---
// Geometry on the GUI thread: a view's frame is its place at the reference font. A view that Qt
// draws (menu bar, label, button, text control) gets at least its size hint from the style and
// font; what it needs beyond its frame pushes the views that lie beyond it (right of it, below
// it) further and makes its window larger by as much. From that size on, the views follow the
// window's edges as their resizing modes say (B_FOLLOW_*). A window that may not be resized keeps
// that size; one that may, keeps it as its least.
struct ViewSpec {
    PeerId parent;  // a window or a view
    BRect frame;    // in the parent's coordinates
    std::string name;
    uint32 resizingMode;
};
// A drawn view: shows the images the view publishes and sends B_MOUSE_DOWN to target. When the
// view's size on screen or its device pixel ratio differs from its canvas's, the peer sends
// target kViewResized with them ("width", "height": int32; "scale": int32, device pixels per
// thousand view pixels).
void CreateCanvasView(PeerId id, ViewSpec description, BMessenger target);
constexpr uint32 kViewResized = FourLetterCode("_VSZ");
// Static text without background; mouse presses pass through to what lies under it. Without a
// colour of its own it is drawn in the palette's text colour; a colour of its own is lightened
// on a dark palette, so that it reads there too.
void CreateLabel(PeerId id, ViewSpec description, std::string text, std::optional<rgb_color> color);
// With fitToRoom the label keeps the size hint of its text before and shows this one cut to fit.
void SetLabelText(PeerId id, std::string text, bool fitToRoom);
void SetLabelColor(PeerId id, rgb_color color);
// A labelled one-line entry; Enter sends invoke to window.
void CreateLineEdit(PeerId id, ViewSpec description, std::string label, float divider,
                    std::shared_ptr<SharedText> text, BMessage invoke, BMessenger window);
void SetLineEditText(PeerId id, std::string text);
void SetDivider(PeerId id, float divider);
// A push button; a click sends invoke to window.
void CreateButton(PeerId id, ViewSpec description, std::string label, BMessage invoke,
                  BMessenger window);
void SetButtonLabel(PeerId id, std::string label);
// A multi-line text area.
void CreateTextEdit(PeerId id, ViewSpec description, std::shared_ptr<SharedText> text,
                    bool editable);
// Brings the text area up to date with its shared text (see SharedText).
void UpdateTextEdit(PeerId id);
void SetTextEditEditable(PeerId id, bool editable);
// Gives a text area a vertical scroll bar and the frame that includes it.
void SetVerticalScrollBar(PeerId id, BRect frame);
// A list of one-line items, one picked at a time; a double-click or Enter on an item sends
// invoke, with "index" (int32), the item's row, to window. The first item is the current one
// until the user picks another, so that Enter works at once.
void CreateListView(PeerId id, ViewSpec description, std::vector<std::string> items,
                    BMessage invoke, BMessenger window);
void InsertListItem(PeerId id, int32 index, std::string text);
void RemoveListItem(PeerId id, int32 index);
void ClearList(PeerId id);
void SetListInvocation(PeerId id, BMessage invoke);
// A plain container (a scroll view's frame).
void CreateContainer(PeerId id, ViewSpec description);
void SetEnabled(PeerId id, bool enabled);
void Focus(PeerId id);

// --- Keyboard and assistive tools ---
// What a drawn view's peer sends its target when the view gains or loses the keyboard focus:
// "focus" (int32, 1 or 0). The window hands it to the view.
constexpr uint32 kFocusChanged = FourLetterCode("_FCS");
// A drawn view takes the keyboard focus (by Tab and by click) and sends its target B_KEY_DOWN
// for each key and kFocusChanged.
void SetNavigable(PeerId id);
// The name assistive tools give a view (a string view's own name is its text: this becomes its
// description).
void SetAccessibleName(PeerId id, std::string name);
// A drawn view is a table of columns x rows cells to assistive tools, each with a name; cells
// are counted from 0, row by row. The focused cell is the table's focus while the view has the
// keyboard focus (-1: none).
void SetAccessibleTable(PeerId id, int32 columns, int32 rows);
void SetAccessibleTableArea(PeerId id, BRect area);
void SetAccessibleCell(PeerId id, int32 index, std::string name);
void SetAccessibleFocusCell(PeerId id, int32 index);
// Tells assistive tools text about a drawn view (its description, changed even to the same text).
void Announce(PeerId id, std::string text);
// A window's shortcut: Ctrl (and the modifiers) with key, a printable character or B_ENTER,
// sends message to target, wherever the focus is in the window.
void AddShortcut(PeerId window, char key, uint32 modifiers, BMessage message, BMessenger target);

// --- Menus ---
struct MenuItemSpec {
    PeerId id;
    std::string label;  // empty for a separator
    char shortcut;      // 0: none; else Ctrl + the letter
    bool enabled;
    bool marked;
    BMessage message;
    // The items of the submenu the item opens; empty for a plain item.
    std::vector<MenuItemSpec> submenu;
    bool radio;  // the submenu's items are exclusive choices
};
struct MenuSpec {
    std::string title;
    std::vector<MenuItemSpec> items;
    bool radio;
};
void CreateMenuBar(PeerId id, ViewSpec description, std::vector<MenuSpec> menus, BMessenger window);
void SetMenuItemEnabled(PeerId item, bool enabled);
// Checks or clears an item's mark; in an exclusive group, checking one clears the others.
void SetMenuItemMarked(PeerId item, bool marked);

// --- Alerts ---
struct FontRun {
    int32 start;  // byte offsets into the text
    int32 end;
    float size;
};
struct AlertSpec {
    std::string title;
    std::string text;
    std::vector<FontRun> runs;
    std::vector<std::string> buttons;
};
// Where the GUI thread puts the pressed button and wakes the waiting thread.
struct AlertOutcome {
    explicit AlertOutcome(ThreadHandle waiter) : waiter(std::move(waiter)) {}
    void Press(int32 index) {
        {
            std::lock_guard lock(mutex);
            if (pressed < 0)
                pressed = index;
        }
        Unpark(waiter);
    }
    int32 Pressed() const {
        std::lock_guard lock(mutex);
        return pressed;
    }

private:
    mutable std::mutex mutex;  // guards pressed
    int32 pressed = -1;
    const ThreadHandle waiter;
};
// An application-modal message box; Enter and Escape press a lone button.
void ShowAlert(PeerId id, AlertSpec description, std::shared_ptr<AlertOutcome> outcome);

// --- File panels ---
// An open-file chooser (Qt's, the platform's own where it has one) for an existing file, shown
// application-modal; no thread waits for it. The file the user picks goes to target as a copy of
// message with its path in the string field "path"; cancelling sends nothing.
void ShowOpenPanel(PeerId id, std::string title, BMessage message, BMessenger target);

// --- Drawing ---
// A view's backing image, painted from the window's thread (aliased; an rgb_color's alpha is
// ignored), in device pixels. One painter serves a pass, from its first stroke until the pass is
// published; what the strokes touched (pen width included) is kept as one rectangle, and only that
// piece of the image goes to the peer, which paints it into its own full image at its place. Used
// by one thread at a time.
class Canvas {
public:
    // A canvas of width x height view pixels, drawn at scale device pixels each: its strokes and
    // pieces are at the device's resolution.
    Canvas(int width, int height, float scale = 1);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void Clear(rgb_color color);
    void StrokeLine(BPoint from, BPoint to, rgb_color color, float penSize);
    void StrokeEllipse(BPoint center, float xRadius, float yRadius, rgb_color color, float penSize);
    // Ends the pass and sends the piece that changed since the last time, if any, to the peer.
    void PublishIfChanged(PeerId peer);

private:
    struct Image;
    std::unique_ptr<Image> fImage;
};

}  // namespace kit::qt
