#include "kit/interface/Control.h"

#include "kit/interface/Window.h"
#include "kit/kernel/Checks.h"

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
                   uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), fLabel(label ? label : ""), fMessage(message) {}

BControl::~BControl() = default;

void BControl::SetLabel(const char* label) {
    KIT_CHECK(CallerMayChange());
    fLabel = label ? label : "";
}

void BControl::SetEnabled(bool enabled) {
    KIT_CHECK(CallerMayChange());
    fEnabled = enabled;
    if (Window() != nullptr)
        kit::qt::SetEnabled(Peer(), enabled);
}

BMessenger BControl::WindowMessenger() const {
    return BMessenger(nullptr, Window());
}
