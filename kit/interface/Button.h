// BButton: a push button that sends its message to its window. Used on its window's thread.
#pragma once

#include "kit/interface/Control.h"

class BButton : public BControl {
public:
    BButton(BRect frame, const char* name, const char* label, BMessage* message,
            uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
            uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

    void SetLabel(const char* label) override;

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;
};
