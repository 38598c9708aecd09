#include "kit/interface/Menu.h"

#include <cctype>

#include "kit/interface/MenuBar.h"
#include "kit/interface/Window.h"

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
    : fPeer(kit::qt::NewPeerId()),
      fLabel(label ? label : ""),
      fMessage(message),
      fShortcut(shortcut),
      fModifiers(modifiers) {}

BMenuItem::BMenuItem(BMenu* submenu) : fPeer(kit::qt::NewPeerId()), fSubmenu(submenu) {
    if (submenu != nullptr)
        fLabel = submenu->Name();
}

BMenuItem::BMenuItem() : fPeer(kit::qt::NewPeerId()), fSeparator(true) {}

BMenuItem::~BMenuItem() = default;

char BMenuItem::Shortcut(uint32* modifiers) const {
    if (modifiers != nullptr)
        *modifiers = fModifiers;
    return fShortcut;
}

void BMenuItem::SetEnabled(bool enabled) {
    fEnabled = enabled;
    if (fShown)
        kit::qt::SetMenuItemEnabled(fPeer, enabled);
}

void BMenuItem::SetMarked(bool marked) {
    if (marked && fMenu != nullptr && fMenu->IsRadioMode()) {
        for (int32 i = 0; i < fMenu->CountItems(); ++i) {
            BMenuItem* other = fMenu->ItemAt(i);
            // The peers' group unmarks the others itself.
            if (other != this)
                other->fMarked = false;
        }
    }
    fMarked = marked;
    if (fShown)
        kit::qt::SetMenuItemMarked(fPeer, marked);
}

BMenu::BMenu(const char* name, menu_layout /*layout*/)
    : BView(BRect(0, 0, 0, 0), name, B_FOLLOW_NONE, 0) {}

BMenu::BMenu(BRect frame, const char* name, uint32 resizingMode, menu_layout /*layout*/)
    : BView(frame, name, resizingMode, 0) {}

BMenu::~BMenu() = default;

bool BMenu::AddItem(BMenuItem* item) {
    if (item == nullptr)
        return false;
    item->fMenu = this;
    fItems.emplace_back(item);
    return true;
}

bool BMenu::AddItem(BMenu* submenu) {
    return AddItem(new BMenuItem(submenu));
}

bool BMenu::AddSeparatorItem() {
    return AddItem(new BSeparatorItem());
}

BMenuItem* BMenu::ItemAt(int32 index) const {
    if (index < 0 || index >= CountItems())
        return nullptr;
    return fItems[index].get();
}

BMenuItem* BMenu::FindMarked() const {
    for (const auto& item : fItems) {
        if (item->IsMarked())
            return item.get();
    }
    return nullptr;
}

BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode, menu_layout layout,
                   bool resizeToFit)
    : BMenu(
          resizeToFit ? BRect(frame.left, frame.top, frame.right, frame.top + kHeight - 1) : frame,
          name, resizingMode, layout) {}

void BMenuBar::CreatePeer(const kit::qt::ViewSpec& description) {
    std::vector<kit::qt::MenuSpec> menus;
    for (int32 i = 0; i < CountItems(); ++i) {
        BMenu* menu = ItemAt(i)->Submenu();
        if (menu == nullptr)
            continue;
        menus.push_back({menu->Name(), ItemSpecs(*menu), menu->IsRadioMode()});
    }
    kit::qt::CreateMenuBar(Peer(), description, std::move(menus), BMessenger(nullptr, Window()));
}

std::vector<kit::qt::MenuItemSpec> BMenuBar::ItemSpecs(const BMenu& menu) {
    std::vector<kit::qt::MenuItemSpec> shown;
    for (int32 i = 0; i < menu.CountItems(); ++i) {
        BMenuItem* item = menu.ItemAt(i);
        item->fShown = true;
        uint32 modifiers = 0;
        const char shortcut =
            static_cast<char>(std::toupper(static_cast<unsigned char>(item->Shortcut(&modifiers))));
        kit::qt::MenuItemSpec look{item->Peer(),
                                   item->IsSeparator() ? "" : item->Label(),
                                   shortcut,
                                   item->IsEnabled(),
                                   item->IsMarked(),
                                   item->Message() ? *item->Message() : BMessage(),
                                   {},
                                   false};
        if (const BMenu* submenu = item->Submenu()) {
            look.submenu = ItemSpecs(*submenu);
            look.radio = submenu->IsRadioMode();
        }
        shown.push_back(std::move(look));
    }
    return shown;
}
