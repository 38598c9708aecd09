// BTextView: a multi-line text area, editable or read-only; typing changes the text that Text
// returns. A stylable text view keeps font-size runs (an alert's text view shows them). Used on
// its window's thread, or on its alert's caller's thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/interface/Font.h"
#include "kit/interface/View.h"

class BTextView : public BView {
public:
    BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode, uint32 flags);

    void SetText(const char* text);
    // Adds text at the end, keeping what is there (and its font runs). Only the new text is
    // copied, here and on its way to the screen.
    void Append(const char* text);
    // The text as it stands, typing included; a copy, valid until the next call.
    const char* Text() const;
    // Its length in bytes, without a copy.
    int32 TextLength() const;
    void MakeEditable(bool editable = true);
    bool IsEditable() const { return fEditable; }
    void SetStylable(bool stylable) { fStylable = stylable; }
    // Sets the font size of the bytes start..end (end excluded) when the view is stylable.
    void SetFontAndColor(int32 start, int32 end, const BFont* font, uint32 mode = B_FONT_ALL,
                         const rgb_color* color = nullptr);
    const std::vector<kit::qt::FontRun>& FontRuns() const { return fRuns; }

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;
    bool UsesBackingImage() const override { return false; }

private:
    friend class BScrollView;

    const std::shared_ptr<kit::qt::SharedText> fText;
    mutable std::string fTextCopy;
    bool fEditable = true;
    bool fStylable = false;
    std::vector<kit::qt::FontRun> fRuns;
};
