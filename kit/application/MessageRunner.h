// BMessageRunner: sends a copy of its message to its target every interval, count times, or
// without end for a count of -1. The first message goes out one interval after construction; a
// late one is not made up for. A runner keeps at most one message waiting for its target: the
// ticks that fall due while one waits (its looper busy, or held in an alert) are skipped and not
// counted. Deleting the runner stops it at once: once the destructor has returned none of its
// messages is handled, not even one already queued, provided it is deleted on the target's thread
// or under its looper's lock. A runner never waits on a full queue. It has no thread: the target's
// looper queues the messages itself when they are due (kit::Port). Owned by whoever made it; safe
// to make and delete from any thread.
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

    // B_BAD_VALUE for a null message, an interval that is not positive, a count of 0 or a target
    // that has gone.
    status_t InitCheck() const { return fTimer != 0 ? B_OK : B_BAD_VALUE; }

private:
    std::weak_ptr<kit::Port> fPort;
    uint64 fTimer = 0;
};
