#include "kit/interface/Window.h"

#include <cstring>

#include "kit/application/Application.h"
#include "kit/kernel/Checks.h"

namespace {
// Queued by Invalidate: redraw the target view.
constexpr uint32 kRedraw = FourLetterCode("_UPD");
}  // namespace

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32)
    : BLooper(title),
      fPeer(kit::qt::NewPeerId()),
      fFrame(frame),
      fTitle(title ? title : ""),
      fFlags(flags) {
    kit::qt::CreateWindow(fPeer, {frame, fTitle, type, flags, BMessenger(this), fActive});
}

BWindow::~BWindow() {
    // The views go first, while they can still leave the looper they are handlers of.
    fChildren.Clear();
    kit::qt::DestroyPeer(fPeer);
    if (be_app != nullptr)
        be_app->UnregisterWindow(this);
}

bool BWindow::CallerMayChange() const {
    return Thread() < 0 || Thread() == find_thread(nullptr) || IsLocked();
}

void BWindow::Show() {
    if (fShown)
        return;
    fShown = true;
    kit::qt::ShowWindow(fPeer);
    // Only a whole window joins the application: a quit request meanwhile cannot reach one still
    // being built.
    if (be_app != nullptr)
        be_app->RegisterWindow(this, fGroup, [this] { return Run(); });
    else
        Run();
}

void BWindow::SetGroup(const void* group) {
    KIT_CHECK(!fShown);
    fGroup = group;
}

void BWindow::DispatchMessage(BMessage* message, BHandler* target) {
    BView* view = target == this ? nullptr : dynamic_cast<BView*>(target);
    if (view != nullptr && message->what == kRedraw) {
        view->Redraw();
        return;
    }
    if (view != nullptr && message->what == kit::qt::kViewResized) {
        view->Resized(message);
        return;
    }
    if (view != nullptr && message->what == B_MOUSE_DOWN) {
        BPoint where;
        if (message->FindPoint("where", &where) == B_OK)
            view->MouseDown(where);
        return;
    }
    if (view != nullptr && message->what == B_KEY_DOWN) {
        const char* bytes = nullptr;
        if (message->FindString("bytes", &bytes) == B_OK)
            view->KeyDown(bytes, static_cast<int32>(std::strlen(bytes)));
        return;
    }
    if (view != nullptr && message->what == kit::qt::kFocusChanged) {
        int32 focus = 0;
        message->FindInt32("focus", &focus);
        view->fIsFocus = focus != 0;
        view->FocusChanged(view->fIsFocus);
        return;
    }
    BLooper::DispatchMessage(message, target);
}

void BWindow::MessageHandled() {
    for (const std::unique_ptr<BView>& child : fChildren)
        child->PublishDrawing();
}

void BWindow::QueueRedraw(BView* view) {
    BMessage redraw(kRedraw);
    PostMessage(&redraw, view);
}

void BWindow::AddChild(BView* child) {
    KIT_CHECK(CallerMayChange());
    if (child == nullptr || child->fParent != nullptr || child->fWindow != nullptr)
        return;
    fChildren.Add(child);
    child->AttachTo(this, fPeer);
}

BView* BWindow::FindView(const char* name) const {
    return fChildren.Find(name);
}

void BWindow::SetTitle(const char* title) {
    KIT_CHECK(CallerMayChange());
    fTitle = title ? title : "";
    kit::qt::SetWindowTitle(fPeer, fTitle);
}

status_t BWindow::SetFeel(window_feel feel) {
    KIT_CHECK(CallerMayChange());
    kit::qt::SetWindowModal(fPeer, feel == B_MODAL_APP_WINDOW_FEEL);
    return B_OK;
}

void BWindow::AddShortcut(uint32 key, uint32 modifiers, BMessage* message) {
    KIT_CHECK(CallerMayChange());
    const std::unique_ptr<BMessage> owned(message);
    if (message != nullptr)
        kit::qt::AddShortcut(fPeer, static_cast<char>(key), modifiers, *message, BMessenger(this));
}

void BWindow::AddToSubset(const BWindow* owner) {
    KIT_CHECK(!fShown);
    if (owner != nullptr && owner != this)
        kit::qt::SetWindowOwner(fPeer, owner->fPeer);
}

void BWindow::RequestAttention() {
    kit::qt::RequestAttention(fPeer);
}
