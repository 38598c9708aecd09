// BControl: a view with a label, a message it sends to its window when used, and an enabled
// state. The peer sends the message itself (a copy), so the control's state is read from this
// object, never from the widget. Used on its window's thread.
#pragma once

#include <string>

#include "kit/interface/View.h"

class BControl : public BView {
public:
    BControl(BRect frame, const char* name, const char* label, BMessage* message,
             uint32 resizingMode, uint32 flags);
    ~BControl() override;

    virtual void SetLabel(const char* label);
    const char* Label() const { return fLabel.c_str(); }
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const { return fEnabled; }
    BMessage* Message() const { return fMessage.get(); }

protected:
    bool UsesBackingImage() const override { return false; }
    // The message the peer sends, or an empty one.
    BMessage InvokeMessage() const { return fMessage ? *fMessage : BMessage(); }
    BMessenger WindowMessenger() const;

private:
    std::string fLabel;
    bool fEnabled = true;
    std::unique_ptr<BMessage> fMessage;
};
