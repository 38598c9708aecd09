// BView: a rectangle of a window that draws itself and gets mouse presses, and the base of the
// kit's controls. Owned by its parent (a window or a view), which deletes it. Once in a window
// it is a handler of that window, and everything it does runs on the window's thread; before
// that, on the thread that builds it.
//
// Drawing: a view with B_WILL_DRAW paints, once in a window, into a backing image the size of its
// bounds, at the device's resolution; after each message the window handles, the part of each
// image that changed is shown. Invalidate queues one redraw (several coalesce) that clears the
// image to white and calls Draw.
//
// Size: the frame is the view's place as built. On screen the style may give a view more room,
// and the view follows its window's edges as its resizing mode says (B_FOLLOW_*); a drawing view
// is told its new size (FrameResized, then a redraw), its bounds change with it.
//
// Keyboard: a drawn view made with B_NAVIGABLE takes the focus (by Tab, by click, by MakeFocus);
// while it has it, KeyDown gets each key pressed and FocusChanged each change.
// Assistive tools: every view may have a name for them; a drawn view may be a table of cells,
// each named, one of them focused, and may announce a change.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/application/Handler.h"
#include "kit/interface/GraphicsDefs.h"
#include "kit/interface/InterfaceDefs.h"
#include "kit/interface/Rect.h"
#include "kit/qt/Bridge.h"

class BWindow;
class BView;

namespace kit {
// The views that a window or a view owns, in the order they were added.
class ViewList {
public:
    void Add(BView* view) { fViews.emplace_back(view); }
    // The view of that name among these and their children, or null.
    BView* Find(const char* name) const;
    void Clear() { fViews.clear(); }
    auto begin() const { return fViews.begin(); }
    auto end() const { return fViews.end(); }

private:
    std::vector<std::unique_ptr<BView>> fViews;
};
}  // namespace kit

class BView : public BHandler {
public:
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~BView() override;

    virtual void AttachedToWindow();
    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    // bytes: the key's UTF-8 character, or one of the key codes (B_UP_ARROW, B_ENTER, ...).
    virtual void KeyDown(const char* bytes, int32 numBytes);
    // Asks for the keyboard focus; FocusChanged follows once the view has it.
    virtual void MakeFocus(bool focus = true);
    // The view's size on screen has changed to width x height (its bounds' new right and bottom
    // are one less); it is redrawn after this.
    virtual void FrameResized(float width, float height);
    // The view has gained or lost the keyboard focus.
    virtual void FocusChanged(bool focused);
    bool IsFocus() const { return fIsFocus; }

    void SetAccessibleName(const char* name);
    // To assistive tools the view (in its window) is a table of columns x rows cells, counted
    // from 0, each named by SetAccessibleCell; a name that does not change is not sent again.
    void SetAccessibleTable(int32 columns, int32 rows);
    // Where the table's cells lie in the view (all of its bounds until this is said).
    void SetAccessibleTableArea(BRect area);
    void SetAccessibleCell(int32 column, int32 row, const char* name);
    // The table's focused cell while the view has the keyboard focus; -1, -1 for none.
    void SetAccessibleFocusCell(int32 column, int32 row);
    // Tells assistive tools of a change, such as a move or the end of a game.
    void AnnounceAccessibly(const char* text);

    void AddChild(BView* child);
    BView* FindView(const char* name) const;
    BWindow* Window() const { return fWindow; }

    BRect Frame() const { return fFrame; }
    BRect Bounds() const { return fFrame.OffsetToCopy(B_ORIGIN); }
    uint32 Flags() const { return fFlags; }
    uint32 ResizingMode() const { return fResizingMode; }

    void Invalidate();
    void Invalidate(BRect rect);

    void SetHighColor(rgb_color color);
    rgb_color HighColor() const { return fHighColor; }
    void SetPenSize(float size) { fPenSize = size; }
    void StrokeLine(BPoint from, BPoint to, pattern = B_SOLID_HIGH);
    void StrokeEllipse(BPoint center, float xRadius, float yRadius, pattern = B_SOLID_HIGH);

protected:
    // Whether the caller may change the view: see BWindow::CallerMayChange; anyone before the
    // view is in a window. Checked at the entry of every change in the test builds.
    bool CallerMayChange() const;
    // Makes the view's peer widget; the default shows the backing image.
    virtual void CreatePeer(const kit::qt::ViewSpec& description);
    // Called when the high colour has become a different one, or was set for the first time.
    virtual void HighColorChanged() {}
    bool HighColorSet() const { return fHighColorSet; }
    // False for views whose peer draws them (text, controls, menus).
    virtual bool UsesBackingImage() const { return true; }
    kit::qt::PeerId Peer() const { return fPeer; }
    // Moves and resizes the view (its frame in the parent) before it is in a window.
    void SetFrame(BRect frame) { fFrame = frame; }

private:
    friend class BWindow;
    friend class BScrollView;

    void AttachTo(BWindow* window, kit::qt::PeerId parentPeer);
    // The peer reported the view's size and device pixel ratio on screen.
    void Resized(BMessage* message);
    void Redraw();
    void PublishDrawing();

    BRect fFrame;
    const uint32 fResizingMode;
    const uint32 fFlags;
    bool fIsFocus = false;
    std::string fAccessibleName;
    int32 fTableColumns = 0;
    std::vector<std::string> fCellNames;  // row by row, as last sent
    const kit::qt::PeerId fPeer;
    rgb_color fHighColor{0, 0, 0, 255};
    // Until then a string view shows the palette's text colour.
    bool fHighColorSet = false;
    float fPenSize = 1;
    std::unique_ptr<kit::qt::Canvas> fCanvas;  // made in the window when the view draws
    bool fRedrawQueued = false;
    BView* fParent = nullptr;
    BWindow* fWindow = nullptr;
    kit::ViewList fChildren;
};
