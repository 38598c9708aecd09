#include "kit/interface/Button.h"

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message,
                 uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags) {}

void BButton::SetLabel(const char* label) {
    BControl::SetLabel(label);
    if (Window() != nullptr)
        kit::qt::SetButtonLabel(Peer(), Label());
}

void BButton::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateButton(Peer(), description, Label(), InvokeMessage(), WindowMessenger());
    if (!IsEnabled())
        kit::qt::SetEnabled(Peer(), false);
}
