#include "kit/interface/Window.h"

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
    if (view != nullptr && message->what == B_MOUSE_DOWN) {
        BPoint where;
        if (message->FindPoint("where", &where) == B_OK)
            view->MouseDown(where);
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

void BWindow::AddToSubset(const BWindow* owner) {
    KIT_CHECK(!fShown);
    if (owner != nullptr && owner != this)
        kit::qt::SetWindowOwner(fPeer, owner->fPeer);
}

void BWindow::RequestAttention() {
    kit::qt::RequestAttention(fPeer);
}
