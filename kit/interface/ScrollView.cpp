#include "kit/interface/ScrollView.h"

#include "kit/interface/TextView.h"

namespace {
BRect ScrollFrame(BView* target, bool horizontal, bool vertical) {
    BRect frame = target != nullptr ? target->Frame() : BRect();
    if (vertical)
        frame.right += B_V_SCROLL_BAR_WIDTH;
    if (horizontal)
        frame.bottom += B_H_SCROLL_BAR_HEIGHT;
    return frame;
}
}  // namespace

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags,
                         bool horizontal, bool vertical, border_style)
    : BView(ScrollFrame(target, horizontal, vertical), name, resizingMode, flags),
      fTarget(target),
      fVertical(vertical) {
    if (target == nullptr)
        return;
    // The target keeps its size and sits at the scroll view's top left corner.
    BRect inside = target->Frame().OffsetToCopy(B_ORIGIN);
    target->SetFrame(inside);
    AddChild(target);
}

void BScrollView::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateContainer(Peer(), description);
}

void BScrollView::AttachedToWindow() {
    if (fVertical && dynamic_cast<BTextView*>(fTarget) != nullptr)
        kit::qt::SetVerticalScrollBar(static_cast<BTextView*>(fTarget)->Peer(), Bounds());
}
