// BMessenger: names a handler in a looper without owning either. It holds the looper's queue
// weakly, so a send to a looper that has quit returns B_BAD_PORT_ID and does nothing. A messenger
// for a handler that is in no looper (a view not yet in a window) is invalid. A value; any
// thread may send through it.
#pragma once

#include <memory>

#include "kit/application/Handler.h"

namespace kit {
class Port;
}

class BMessenger {
public:
    BMessenger() = default;
    // Targets handler in its looper; with a null handler, the looper itself.
    explicit BMessenger(const BHandler* handler, const BLooper* looper = nullptr,
                        status_t* result = nullptr);

    bool IsValid() const;

    // Queues a copy of the message for the target and returns; no reply is awaited. A thread
    // made with spawn_thread waits while the target's queue is full, up to timeout.
    status_t SendMessage(uint32 what, BHandler* replyTo = nullptr) const;
    status_t SendMessage(const BMessage* message, BHandler* replyTo = nullptr,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;

private:
    friend class BMessageRunner;

    std::weak_ptr<kit::Port> fPort;
    uint64 fToken = 0;
};
