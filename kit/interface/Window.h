// BWindow: a window on screen with a looper of its own. Its thread starts with Show and runs the
// window's and its views' handlers, one message at a time. The constructor, AddChild and the
// setters run on the building thread before Show and on the window's thread afterwards. A window
// joins the application (and its quitting) when it is shown, and deletes itself when it quits (see
// BLooper::Quit); one never shown belongs to whoever made it. The close box posts
// B_QUIT_REQUESTED. IsActive and RequestAttention are safe from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "kit/application/Looper.h"
#include "kit/interface/View.h"

class BWindow : public BLooper {
public:
    BWindow(BRect frame, const char* title, window_type type, uint32 flags,
            uint32 workspace = B_CURRENT_WORKSPACE);
    ~BWindow() override;

    void Show();
    // What the window belongs to (a plain value, such as the link it uses), declared before it
    // shows: BApplication::QuitWindows picks windows by it.
    void SetGroup(const void* group);
    void DispatchMessage(BMessage* message, BHandler* target) override;

    void AddChild(BView* child);
    BView* FindView(const char* name) const;

    BRect Frame() const { return fFrame; }
    BRect Bounds() const { return fFrame.OffsetToCopy(B_ORIGIN); }
    const char* Title() const { return fTitle.c_str(); }
    void SetTitle(const char* title);
    uint32 Flags() const { return fFlags; }
    status_t SetFeel(window_feel feel);
    // Ctrl (with modifiers) and key, a printable character or B_ENTER, sends message to the
    // window wherever the focus is in it. The window owns message.
    void AddShortcut(uint32 key, uint32 modifiers, BMessage* message);

    // Before Show: the window belongs to owner. It opens over it (cascaded from its top left
    // corner, on its screen), stays in front of it (transient for it) and hides with it. owner
    // must outlive the window.
    void AddToSubset(const BWindow* owner);

    // Whether the window has the focus, as the GUI thread last saw it.
    bool IsActive() const { return fActive->load(); }
    // Sets the window's urgency hint: the desktop shows that it asks for attention (its taskbar
    // entry flashes) until the user activates it. Nothing while it is active.
    void RequestAttention();

    // Shows what the views have drawn so far, before the window's thread goes on to block.
    void UpdateIfNeeded() { MessageHandled(); }
    // Whether the caller may change the window and its views: its own thread, one that holds its
    // lock, or the one building it before it shows. Checked in the test builds.
    bool CallerMayChange() const;

    kit::qt::PeerId Peer() const { return fPeer; }

protected:
    void MessageHandled() override;

private:
    friend class BView;
    // Queues a redraw of view.
    void QueueRedraw(BView* view);

    const kit::qt::PeerId fPeer;
    const BRect fFrame;
    std::string fTitle;
    const uint32 fFlags;
    bool fShown = false;
    // Set by the peer as the window gains and loses the focus.
    const std::shared_ptr<std::atomic<bool>> fActive = std::make_shared<std::atomic<bool>>(false);
    const void* fGroup = nullptr;
    kit::ViewList fChildren;
};
