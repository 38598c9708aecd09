// BStringView: one line of static text, without a background of its own, in the palette's text
// colour until a high colour is set; mouse presses pass through to the view under it. Used on its
// window's thread.
#pragma once

#include <string>

#include "kit/interface/View.h"

class BStringView : public BView {
public:
    BStringView(BRect frame, const char* name, const char* text,
                uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);

    // With fitToRoom the text asks for no more room than the text before it had: it is cut with
    // an ellipsis to the width the view has, and its tooltip shows it whole. For text that comes
    // from elsewhere, such as an engine's messages, which must not widen the window.
    void SetText(const char* text, bool fitToRoom = false);
    const char* Text() const { return fText.c_str(); }

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;
    void HighColorChanged() override;
    bool UsesBackingImage() const override { return false; }

private:
    std::string fText;
};
