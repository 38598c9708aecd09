#include "kit/interface/TextView.h"

#include "kit/kernel/Checks.h"

BTextView::BTextView(BRect frame, const char* name, BRect /*textRect*/, uint32 resizingMode,
                     uint32 flags)
    : BView(frame, name, resizingMode, flags), fText(std::make_shared<kit::qt::SharedText>()) {}

void BTextView::SetText(const char* text) {
    KIT_CHECK(CallerMayChange());
    fRuns.clear();
    if (fText->Replace(text ? text : "") && Window() != nullptr)
        kit::qt::UpdateTextEdit(Peer());
}

void BTextView::Append(const char* text) {
    KIT_CHECK(CallerMayChange());
    if (text == nullptr || *text == '\0')
        return;
    if (fText->Append(text) && Window() != nullptr)
        kit::qt::UpdateTextEdit(Peer());
}

const char* BTextView::Text() const {
    fTextCopy = fText->Get();
    return fTextCopy.c_str();
}

int32 BTextView::TextLength() const {
    return static_cast<int32>(fText->Size());
}

void BTextView::MakeEditable(bool editable) {
    KIT_CHECK(CallerMayChange());
    fEditable = editable;
    if (Window() != nullptr)
        kit::qt::SetTextEditEditable(Peer(), editable);
}

void BTextView::SetFontAndColor(int32 start, int32 end, const BFont* font, uint32 mode,
                                const rgb_color*) {
    if (!fStylable || font == nullptr || !(mode & B_FONT_SIZE) || start >= end)
        return;
    fRuns.push_back({start, end, font->Size()});
}

void BTextView::CreatePeer(const kit::qt::ViewSpec& description) {
    kit::qt::CreateTextEdit(Peer(), description, fText, fEditable);
}
