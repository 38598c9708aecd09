// BTextControl: a label and a one-line entry. Enter sends the control's message to its window;
// typing changes the text that Text returns. Used on its window's thread.
#pragma once

#include <memory>
#include <string>

#include "kit/interface/Control.h"

class BTextControl : public BControl {
public:
    BTextControl(BRect frame, const char* name, const char* label, const char* text,
                 BMessage* message, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
                 uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

    // The text as it stands, typing included; valid until the next call.
    const char* Text() const;
    void SetText(const char* text);
    void SetDivider(float divider);
    float Divider() const { return fDivider; }

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;

private:
    const std::shared_ptr<kit::qt::SharedText> fText;
    mutable std::string fTextCopy;
    float fDivider = 0;
};
