#include "kit/interface/ListView.h"

#include "kit/interface/Window.h"
#include "kit/kernel/Checks.h"

BListView::BListView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags) {}

BListView::~BListView() = default;

bool BListView::AddItem(BStringItem* item) {
    return AddItem(item, CountItems());
}

bool BListView::AddItem(BStringItem* item, int32 index) {
    KIT_CHECK(CallerMayChange());
    std::unique_ptr<BStringItem> owned(item);
    if (item == nullptr || index < 0 || index > CountItems())
        return false;
    if (Window() != nullptr)
        kit::qt::InsertListItem(Peer(), index, item->Text());
    fItems.insert(fItems.begin() + index, std::move(owned));
    return true;
}

bool BListView::RemoveItem(int32 index) {
    KIT_CHECK(CallerMayChange());
    if (index < 0 || index >= CountItems())
        return false;
    fItems.erase(fItems.begin() + index);
    if (Window() != nullptr)
        kit::qt::RemoveListItem(Peer(), index);
    return true;
}

void BListView::MakeEmpty() {
    KIT_CHECK(CallerMayChange());
    fItems.clear();
    if (Window() != nullptr)
        kit::qt::ClearList(Peer());
}

BStringItem* BListView::ItemAt(int32 index) const {
    return index >= 0 && index < CountItems() ? fItems[index].get() : nullptr;
}

void BListView::SetInvocationMessage(BMessage* message) {
    KIT_CHECK(CallerMayChange());
    fInvocation.reset(message);
    if (Window() != nullptr)
        kit::qt::SetListInvocation(Peer(), fInvocation ? *fInvocation : BMessage());
}

void BListView::CreatePeer(const kit::qt::ViewSpec& description) {
    std::vector<std::string> texts;
    for (const std::unique_ptr<BStringItem>& item : fItems)
        texts.push_back(item->Text());
    kit::qt::CreateListView(Peer(), description, std::move(texts),
                            fInvocation ? *fInvocation : BMessage(), BMessenger(nullptr, Window()));
}
