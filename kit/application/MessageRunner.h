// BMessageRunner: sends a copy of its message to its target every interval, count times, or
// without end for a count of -1. The first message goes out one interval after construction.
// Deleting the runner stops it at once: once the destructor has returned nothing more is sent.
// A runner never waits on a full queue. Owned by whoever made it; safe to delete from any thread.
#pragma once

#include <memory>

#include "kit/application/Messenger.h"

class BMessageRunner {
public:
    BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
                   int32 count = -1);
    ~BMessageRunner();
    BMessageRunner(const BMessageRunner&) = delete;
    BMessageRunner& operator=(const BMessageRunner&) = delete;

    status_t InitCheck() const { return fEntry ? B_OK : B_BAD_VALUE; }

    struct Entry;

private:
    std::shared_ptr<Entry> fEntry;
};
