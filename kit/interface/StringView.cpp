#include "kit/interface/StringView.h"

#include <string_view>

#include "kit/kernel/Checks.h"

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode,
                         uint32 flags)
    : BView(frame, name, resizingMode, flags), fText(text ? text : "") {}

void BStringView::SetText(const char* text, bool fitToRoom) {
    KIT_CHECK(CallerMayChange());
    const std::string_view wanted = text ? text : "";
    // The same text again changes nothing on screen: the GUI thread is not woken for it.
    if (wanted == fText)
        return;
    fText = wanted;
    if (Window() != nullptr)
        kit::qt::SetLabelText(Peer(), fText, fitToRoom);
}

void BStringView::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateLabel(Peer(), description, fText,
                         HighColorSet() ? std::optional(HighColor()) : std::nullopt);
}

void BStringView::HighColorChanged() {
    if (Window() != nullptr)
        kit::qt::SetLabelColor(Peer(), HighColor());
}
