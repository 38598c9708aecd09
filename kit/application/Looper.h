// BLooper: a thread with a FIFO queue of messages (capacity 200), handled one at a time with the
// looper locked (a recursive lock). PostMessage, Lock and Unlock are safe from any thread; the
// handlers run on the looper's thread. A looper that quits from its own thread is deleted by
// that thread once the current handler returns; Quit from another thread returns when the
// looper's thread has ended (and deleted it).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "kit/application/Handler.h"

namespace kit {
class Port;
struct Envelope;
}  // namespace kit

class BLooper : public BHandler {
public:
    explicit BLooper(const char* name = nullptr);
    ~BLooper() override;

    // Starts the looper's thread.
    virtual thread_id Run();
    virtual void Quit();
    // Asked on B_QUIT_REQUESTED; true lets the looper quit.
    virtual bool QuitRequested();
    // Hands a message to its target; B_QUIT_REQUESTED to the looper itself asks QuitRequested.
    virtual void DispatchMessage(BMessage* message, BHandler* target);

    status_t PostMessage(uint32 what);
    status_t PostMessage(const BMessage* message, BHandler* target = nullptr);

    void AddHandler(BHandler* handler);
    bool RemoveHandler(BHandler* handler);

    bool Lock();
    void Unlock();
    bool IsLocked() const;

    thread_id Thread() const { return fThread; }
    // The looper whose thread is calling, or null.
    static BLooper* LooperForThread();

    // The queue, for messengers.
    const std::shared_ptr<kit::Port>& Port() const { return fPort; }

protected:
    // Runs on the looper's thread after each handled message, with the looper locked.
    virtual void MessageHandled() {}
    // The calling thread serves the queue (the looper's own, or the application's main thread).
    void AdoptThread();
    // Handles one message from the queue; false when the looper quits. A runner's message is
    // dropped when its runner has gone since it was queued.
    bool HandleEnvelope(kit::Envelope& envelope);
    bool IsQuitting() const { return fQuitting; }

private:
    static int32 LoopEntry(void* data);
    void Loop();
    BHandler* FindHandler(uint64 token) const;

    std::shared_ptr<kit::Port> fPort;
    std::recursive_mutex fLock;  // held while a message is handled; guards fHandlers
    std::atomic<thread_id> fLockOwner{-1};
    int32 fLockCount = 0;  // touched only by the lock's owner
    std::vector<BHandler*> fHandlers;
    std::atomic<thread_id> fThread{-1};  // set by Run and by the thread itself
    bool fQuitting = false;              // the looper's thread only
};
