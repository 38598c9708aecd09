#include "kit/application/Messenger.h"

#include "kit/application/Looper.h"
#include "kit/application/Port.h"

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result) {
    status_t status = B_OK;
    if (handler != nullptr) {
        BLooper* owner = handler->Looper();
        if (owner == nullptr || (looper != nullptr && owner != looper)) {
            status = B_BAD_HANDLER;
        } else {
            fPort = owner->Port();
            fToken = handler->Token();
        }
    } else if (looper != nullptr) {
        fPort = looper->Port();
        fToken = looper->Token();
    } else {
        status = B_BAD_VALUE;
    }
    if (result != nullptr)
        *result = status;
}

bool BMessenger::IsValid() const {
    std::shared_ptr<kit::Port> port = fPort.lock();
    return port && port->IsOpen();
}

status_t BMessenger::SendMessage(uint32 what, BHandler*) const {
    std::shared_ptr<kit::Port> port = fPort.lock();
    if (!port)
        return B_BAD_PORT_ID;
    return port->Push({BMessage(what), fToken});
}

status_t BMessenger::SendMessage(const BMessage* message, BHandler*, bigtime_t timeout) const {
    if (message == nullptr)
        return B_BAD_VALUE;
    std::shared_ptr<kit::Port> port = fPort.lock();
    if (!port)
        return B_BAD_PORT_ID;
    return port->Push({*message, fToken}, timeout);
}
