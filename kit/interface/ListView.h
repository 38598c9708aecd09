// BListView: a column of one-line items (BStringItem) from which the user picks one: a
// double-click or Enter on an item sends the invocation message to the view's window, with
// "index" (int32), the item's place in the list. The list owns its items. Used on its window's
// thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/interface/View.h"

class BStringItem {
public:
    explicit BStringItem(const char* text) : fText(text ? text : "") {}
    const char* Text() const { return fText.c_str(); }

private:
    const std::string fText;
};

class BListView : public BView {
public:
    BListView(BRect frame, const char* name, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
              uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BListView() override;

    // Takes item, at the end or at index (0 to CountItems()); false, deleting it, elsewhere.
    bool AddItem(BStringItem* item);
    bool AddItem(BStringItem* item, int32 index);
    // Deletes the item at index; false when there is none.
    bool RemoveItem(int32 index);
    void MakeEmpty();
    int32 CountItems() const { return static_cast<int32>(fItems.size()); }
    // The item at index, or null.
    BStringItem* ItemAt(int32 index) const;
    // Takes message, a copy of which goes to the window for each item chosen from now on.
    void SetInvocationMessage(BMessage* message);
    BMessage* InvocationMessage() const { return fInvocation.get(); }

protected:
    void CreatePeer(const kit::qt::ViewSpec& description) override;
    bool UsesBackingImage() const override { return false; }

private:
    std::vector<std::unique_ptr<BStringItem>> fItems;
    std::unique_ptr<BMessage> fInvocation;
};
