// BMenu and BMenuItem: a menu's items, each with a label, a message for its window, a shortcut
// letter (Ctrl + the letter), an enabled state and a mark; an item may open a submenu instead.
// A menu owns its items, an item its submenu, a menu bar its menus. In a radio-mode menu one item
// at most is marked: marking one unmarks the others, and the item the user picks shows marked at
// once; the window that handles its message marks it (SetMarked) so the model follows.
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
    // In a radio-mode menu, marking an item unmarks its siblings.
    void SetMarked(bool marked);
    bool IsMarked() const { return fMarked; }
    BMenu* Submenu() const { return fSubmenu.get(); }
    // The menu that holds the item; null until it is added to one.
    BMenu* Menu() const { return fMenu; }
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
    bool fMarked = false;
    bool fSeparator = false;
    BMenu* fMenu = nullptr;
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
    // Radio mode: the items are choices of which one is marked. Set before the window shows.
    void SetRadioMode(bool radio) { fRadioMode = radio; }
    bool IsRadioMode() const { return fRadioMode; }
    // The first marked item; null when none is.
    BMenuItem* FindMarked() const;

protected:
    BMenu(BRect frame, const char* name, uint32 resizingMode, menu_layout layout);
    bool UsesBackingImage() const override { return false; }

private:
    std::vector<std::unique_ptr<BMenuItem>> fItems;
    bool fRadioMode = false;
};
