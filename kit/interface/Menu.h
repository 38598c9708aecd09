// BMenu and BMenuItem: a menu's items, each with a label, a message for its window, a shortcut
// letter (Ctrl + the letter) and an enabled state. A menu owns its items, a menu bar its menus.
// Used on the thread of the window that holds the menu bar.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/interface/View.h"

class BMenu;

class BMenuItem {
public:
    BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
    explicit BMenuItem(BMenu* submenu);
    virtual ~BMenuItem();

    const char* Label() const { return fLabel.c_str(); }
    BMessage* Message() const { return fMessage.get(); }
    char Shortcut(uint32* modifiers = nullptr) const;
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return fEnabled; }
    BMenu* Submenu() const { return fSubmenu.get(); }
    bool IsSeparator() const { return fSeparator; }

    kit::qt::PeerId Peer() const { return fPeer; }

protected:
    BMenuItem();  // a separator

private:
    friend class BMenu;
    friend class BMenuBar;

    const kit::qt::PeerId fPeer;
    std::string fLabel;
    std::unique_ptr<BMessage> fMessage;
    char fShortcut = 0;
    uint32 fModifiers = 0;
    bool fEnabled = true;
    bool fSeparator = false;
    bool fShown = false;  // its peer exists
    std::unique_ptr<BMenu> fSubmenu;
};

class BSeparatorItem : public BMenuItem {
public:
    BSeparatorItem() = default;
};

class BMenu : public BView {
public:
    explicit BMenu(const char* name, menu_layout layout = B_ITEMS_IN_COLUMN);
    ~BMenu() override;

    bool AddItem(BMenuItem* item);
    bool AddItem(BMenu* submenu);
    bool AddSeparatorItem();
    int32 CountItems() const { return static_cast<int32>(fItems.size()); }
    BMenuItem* ItemAt(int32 index) const;

protected:
    BMenu(BRect frame, const char* name, uint32 resizingMode, menu_layout layout);
    bool UsesBackingImage() const override { return false; }

private:
    std::vector<std::unique_ptr<BMenuItem>> fItems;
};
