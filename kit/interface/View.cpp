#include "kit/interface/View.h"

#include <algorithm>

#include "kit/interface/Window.h"
#include "kit/kernel/Checks.h"

namespace {
constexpr rgb_color kViewColor{255, 255, 255, 255};
}

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BHandler(name),
      fFrame(frame),
      fResizingMode(resizingMode),
      fFlags(flags),
      fPeer(kit::qt::NewPeerId()) {}

BView::~BView() {
    fChildren.Clear();
    if (fWindow != nullptr)
        kit::qt::DestroyPeer(fPeer);
}

void BView::AttachedToWindow() {}
void BView::Draw(BRect) {}
void BView::MouseDown(BPoint) {}
void BView::FrameResized(float, float) {}
void BView::KeyDown(const char*, int32) {}
void BView::FocusChanged(bool) {}

bool BView::CallerMayChange() const {
    return fWindow == nullptr || fWindow->CallerMayChange();
}

void BView::MakeFocus(bool focus) {
    KIT_CHECK(CallerMayChange());
    if (focus && fWindow != nullptr)
        kit::qt::Focus(fPeer);
}

void BView::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateCanvasView(fPeer, description, BMessenger(this));
}

void BView::AddChild(BView* child) {
    KIT_CHECK(CallerMayChange());
    if (child == nullptr || child->fParent != nullptr)
        return;
    child->fParent = this;
    fChildren.Add(child);
    if (fWindow != nullptr)
        child->AttachTo(fWindow, fPeer);
}

BView* BView::FindView(const char* name) const {
    return fChildren.Find(name);
}

namespace kit {

BView* ViewList::Find(const char* name) const {
    for (const std::unique_ptr<BView>& view : fViews) {
        if (std::string_view(view->Name()) == name)
            return view.get();
        if (BView* found = view->FindView(name))
            return found;
    }
    return nullptr;
}

}  // namespace kit

void BView::AttachTo(BWindow* window, kit::qt::PeerId parentPeer) {
    fWindow = window;
    window->AddHandler(this);
    if ((fFlags & B_WILL_DRAW) && UsesBackingImage() && !fCanvas) {
        fCanvas = std::make_unique<kit::qt::Canvas>(Bounds().IntegerWidth() + 1,
                                                    Bounds().IntegerHeight() + 1);
    }
    CreatePeer({parentPeer, fFrame, Name(), fResizingMode});
    if ((fFlags & B_NAVIGABLE) && fCanvas)
        kit::qt::SetNavigable(fPeer);
    if (!fAccessibleName.empty())
        kit::qt::SetAccessibleName(fPeer, fAccessibleName);
    for (const std::unique_ptr<BView>& child : fChildren)
        child->AttachTo(window, fPeer);
    if (fCanvas)
        Invalidate();
    AttachedToWindow();
}

void BView::Resized(BMessage* message) {
    int32 width = 0, height = 0, perMille = 0;
    if (message->FindInt32("width", &width) != B_OK ||
        message->FindInt32("height", &height) != B_OK ||
        message->FindInt32("scale", &perMille) != B_OK || width < 1 || height < 1 || perMille < 1)
        return;
    const float scale = static_cast<float>(perMille) / 1000;
    fFrame.right = fFrame.left + static_cast<float>(width) - 1;
    fFrame.bottom = fFrame.top + static_cast<float>(height) - 1;
    if (fCanvas) {
        // The peer made a white image of that size and waits for the whole drawing (a redraw
        // already queued draws the new canvas).
        fCanvas = std::make_unique<kit::qt::Canvas>(width, height, scale);
        Invalidate();
    }
    FrameResized(static_cast<float>(width), static_cast<float>(height));
}

void BView::Invalidate() {
    KIT_CHECK(CallerMayChange());
    if (!fCanvas || fWindow == nullptr || fRedrawQueued)
        return;
    fRedrawQueued = true;
    fWindow->QueueRedraw(this);
}

void BView::Invalidate(BRect) {
    Invalidate();
}

void BView::Redraw() {
    fRedrawQueued = false;
    if (!fCanvas)
        return;
    fCanvas->Clear(kViewColor);
    Draw(Bounds());
}

void BView::PublishDrawing() {
    if (fCanvas)
        fCanvas->PublishIfChanged(fPeer);
    for (const std::unique_ptr<BView>& child : fChildren)
        child->PublishDrawing();
}

void BView::SetHighColor(rgb_color color) {
    KIT_CHECK(CallerMayChange());
    if (color == fHighColor && fHighColorSet)
        return;
    fHighColor = color;
    fHighColorSet = true;
    HighColorChanged();
}

void BView::StrokeLine(BPoint from, BPoint to, pattern) {
    KIT_CHECK(CallerMayChange());
    if (fCanvas)
        fCanvas->StrokeLine(from, to, fHighColor, fPenSize);
}

void BView::StrokeEllipse(BPoint center, float xRadius, float yRadius, pattern) {
    KIT_CHECK(CallerMayChange());
    if (fCanvas)
        fCanvas->StrokeEllipse(center, xRadius, yRadius, fHighColor, fPenSize);
}

void BView::SetAccessibleName(const char* name) {
    KIT_CHECK(CallerMayChange());
    fAccessibleName = name ? name : "";
    if (fWindow != nullptr)
        kit::qt::SetAccessibleName(fPeer, fAccessibleName);
}

void BView::SetAccessibleTable(int32 columns, int32 rows) {
    KIT_CHECK(CallerMayChange() && fWindow != nullptr);
    fTableColumns = columns;
    fCellNames.assign(size_t(columns) * rows, std::string());
    kit::qt::SetAccessibleTable(fPeer, columns, rows);
}

void BView::SetAccessibleTableArea(BRect area) {
    KIT_CHECK(CallerMayChange() && fWindow != nullptr);
    kit::qt::SetAccessibleTableArea(fPeer, area);
}

void BView::SetAccessibleCell(int32 column, int32 row, const char* name) {
    KIT_CHECK(CallerMayChange());
    const size_t index = size_t(row) * fTableColumns + column;
    if (column < 0 || column >= fTableColumns || row < 0 || index >= fCellNames.size())
        return;
    const std::string_view wanted = name ? name : "";
    if (fCellNames[index] == wanted)
        return;
    fCellNames[index] = wanted;
    kit::qt::SetAccessibleCell(fPeer, static_cast<int32>(index), fCellNames[index]);
}

void BView::SetAccessibleFocusCell(int32 column, int32 row) {
    KIT_CHECK(CallerMayChange());
    const bool inside = column >= 0 && column < fTableColumns && row >= 0 &&
                        size_t(row) * fTableColumns + column < fCellNames.size();
    if (fWindow != nullptr)
        kit::qt::SetAccessibleFocusCell(fPeer, inside ? row * fTableColumns + column : -1);
}

void BView::AnnounceAccessibly(const char* text) {
    KIT_CHECK(CallerMayChange());
    if (fWindow != nullptr)
        kit::qt::Announce(fPeer, text ? text : "");
}
