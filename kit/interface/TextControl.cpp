#include "kit/interface/TextControl.h"

#include "kit/kernel/Checks.h"

BTextControl::BTextControl(BRect frame, const char* name, const char* label, const char* text,
                           BMessage* message, uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags),
      fText(std::make_shared<kit::qt::SharedText>()) {
    fText->Set(text ? text : "");
}

const char* BTextControl::Text() const {
    fTextCopy = fText->Get();
    return fTextCopy.c_str();
}

void BTextControl::SetText(const char* text) {
    KIT_CHECK(CallerMayChange());
    fText->Set(text ? text : "");
    if (Window() != nullptr)
        kit::qt::SetLineEditText(Peer(), fText->Get());
}

void BTextControl::SetDivider(float divider) {
    KIT_CHECK(CallerMayChange());
    fDivider = divider;
    if (Window() != nullptr)
        kit::qt::SetDivider(Peer(), divider);
}

void BTextControl::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateLineEdit(Peer(), description, Label(), fDivider, fText, InvokeMessage(),
                            WindowMessenger());
    if (!IsEnabled())
        kit::qt::SetEnabled(Peer(), false);
}
