// BScrollView: a frame around a target view with scroll bars beside it; the target becomes its
// child. Only a vertical scroll bar for a text view is shown. Used on its window's thread.
#pragma once

#include "kit/interface/View.h"

class BScrollView : public BView {
public:
    BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags, bool horizontal,
                bool vertical, border_style border = B_FANCY_BORDER);

    BView* Target() const { return fTarget; }

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;
    void AttachedToWindow() override;
    bool UsesBackingImage() const override { return false; }

private:
    BView* const fTarget;  // a child of this view
    const bool fVertical;
};
