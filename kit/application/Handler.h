// BHandler: anything that receives messages. A handler belongs to at most one looper, on whose
// thread its MessageReceived runs. Looper() may be read from any thread.
#pragma once

#include <atomic>
#include <string>

#include "kit/application/Message.h"

class BLooper;

class BHandler {
public:
    explicit BHandler(const char* name = nullptr);
    virtual ~BHandler();
    BHandler(const BHandler&) = delete;
    BHandler& operator=(const BHandler&) = delete;

    // The toolkit's default handling: nothing visible happens.
    virtual void MessageReceived(BMessage* message);

    BLooper* Looper() const { return fLooper.load(); }
    const char* Name() const { return fName.c_str(); }
    void SetName(const char* name) { fName = name ? name : ""; }

    // The identity by which messengers name this handler inside its looper.
    uint64 Token() const { return fToken; }

private:
    friend class BLooper;

    std::string fName;
    std::atomic<BLooper*> fLooper{nullptr};
    const uint64 fToken;
};
