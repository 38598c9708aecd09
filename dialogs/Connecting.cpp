#include "dialogs/Connecting.h"

#include <memory>

#include "kit/interface/Window.h"
#include "messages/Messages.h"
#include "net/NetView.h"

namespace connecting {

void Start(NetView* link, BWindow* dialog, const char* address) {
    link->mainMessenger->SendMessage(MSG_RESET_SCORE);
    link->DisConnect(true, false);
    link->DisListen(true, false);
    link->dialogMessenger = std::make_unique<BMessenger>(dialog);
    link->SetAddress(address);
    resume_thread(link->SpawnMessageLoop());
}

void GiveUp(NetView* link) {
    if (link->linkState == LINK_NOT_CONNECTED) {
        link->mainMessenger->SendMessage(MSG_RESET_SCORE);
        link->DisConnect(true, false);
        link->DisListen(true, true);
    }
}

}  // namespace connecting
