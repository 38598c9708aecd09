#include "kit/interface/FilePanel.h"

BFilePanel::BFilePanel(const BMessenger& target, const BMessage& message, const char* title)
    : fTarget(target), fMessage(message), fTitle(title != nullptr ? title : "") {}

BFilePanel::~BFilePanel() {
    if (fPeer != 0)
        kit::qt::DestroyPeer(fPeer);
}

void BFilePanel::Show() {
    if (fPeer != 0)
        kit::qt::DestroyPeer(fPeer);
    fPeer = kit::qt::NewPeerId();
    kit::qt::ShowOpenPanel(fPeer, fTitle, fMessage, fTarget);
}
