#include "kit/application/MessageRunner.h"

#include "kit/application/Port.h"

BMessageRunner::BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
                               int32 count) {
    std::shared_ptr<kit::Port> port = target.fPort.lock();
    if (message == nullptr || interval <= 0 || count == 0 || !port)
        return;
    fTimer = port->AddTimer({*message, target.fToken}, interval, count);
    fPort = port;
}

BMessageRunner::~BMessageRunner() {
    if (std::shared_ptr<kit::Port> port = fPort.lock())
        port->RemoveTimer(fTimer);
}
