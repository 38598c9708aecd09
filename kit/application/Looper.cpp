#include "kit/application/Looper.h"

#include <algorithm>

#include "kit/application/Port.h"

namespace {
// Sent by Quit from another thread: the looper ends without asking QuitRequested.
constexpr uint32 kQuitNow = FourLetterCode("_QIT");

thread_local BLooper* tLooper = nullptr;
}  // namespace

BLooper* BLooper::LooperForThread() {
    return tLooper;
}

BLooper::BLooper(const char* name) : BHandler(name), fPort(std::make_shared<kit::Port>()) {
    AddHandler(this);
}

BLooper::~BLooper() {
    fPort->Close();
    std::lock_guard lock(fLock);
    for (BHandler* handler : fHandlers)
        handler->fLooper = nullptr;
}

thread_id BLooper::Run() {
    if (fThread < 0)
        fThread = kit::SpawnToolkitThread(LoopEntry, Name(), this);
    return fThread;
}

int32 BLooper::LoopEntry(void* data) {
    static_cast<BLooper*>(data)->Loop();
    return 0;
}

void BLooper::AdoptThread() {
    fThread = find_thread(nullptr);
    fPort->SetOwner();
}

void BLooper::Loop() {
    AdoptThread();
    tLooper = this;
    // The batch and the queue trade their storage back and forth: no allocation once warm.
    std::vector<kit::Envelope> batch;
    while (!fQuitting && fPort->WaitAndTake(batch)) {
        for (kit::Envelope& envelope : batch) {
            if (!HandleEnvelope(envelope))
                break;
        }
        batch.clear();
    }
    fPort->Close();
    tLooper = nullptr;
    delete this;
}

bool BLooper::HandleEnvelope(kit::Envelope& envelope) {
    if (envelope.message.what == kQuitNow) {
        fQuitting = true;
        return false;
    }
    Lock();
    // Claimed under the looper's lock: a runner deleted by a handler before this one (in this
    // batch, too), or by a thread that holds the lock, sends nothing more.
    if (envelope.timer == 0 || fPort->ClaimTimerMessage(envelope.timer)) {
        if (BHandler* handler = FindHandler(envelope.target))
            DispatchMessage(&envelope.message, handler);
        MessageHandled();
    }
    Unlock();
    return !fQuitting;
}

void BLooper::Quit() {
    const thread_id thread = fThread;
    const thread_id caller = find_thread(nullptr);
    if (thread == caller) {
        fQuitting = true;
        return;
    }
    // The looper must be able to take its lock to end.
    while (fLockOwner == caller)
        Unlock();
    if (thread < 0) {
        delete this;
        return;
    }
    // The looper deletes itself, and its queue, as soon as it takes this: keep the queue alive
    // until the push has returned.
    std::shared_ptr<kit::Port> port = fPort;
    port->Push({BMessage(kQuitNow), Token()}, B_INFINITE_TIMEOUT, true);
    wait_for_thread(thread, nullptr);
}

bool BLooper::QuitRequested() {
    return true;
}

void BLooper::DispatchMessage(BMessage* message, BHandler* target) {
    if (message->what == B_QUIT_REQUESTED && target == this) {
        if (QuitRequested())
            Quit();
        return;
    }
    target->MessageReceived(message);
}

status_t BLooper::PostMessage(uint32 what) {
    return fPort->Push({BMessage(what), Token()});
}

status_t BLooper::PostMessage(const BMessage* message, BHandler* target) {
    if (message == nullptr)
        return B_BAD_VALUE;
    if (target == nullptr)
        target = this;
    if (target->Looper() != this)
        return B_BAD_HANDLER;
    return fPort->Push({*message, target->Token()});
}

void BLooper::AddHandler(BHandler* handler) {
    if (handler == nullptr)
        return;
    std::lock_guard lock(fLock);
    if (std::find(fHandlers.begin(), fHandlers.end(), handler) == fHandlers.end())
        fHandlers.push_back(handler);
    handler->fLooper = this;
}

bool BLooper::RemoveHandler(BHandler* handler) {
    std::lock_guard lock(fLock);
    auto it = std::find(fHandlers.begin(), fHandlers.end(), handler);
    if (it == fHandlers.end())
        return false;
    fHandlers.erase(it);
    handler->fLooper = nullptr;
    return true;
}

BHandler* BLooper::FindHandler(uint64 token) const {
    for (BHandler* handler : fHandlers) {
        if (handler->Token() == token)
            return handler;
    }
    return nullptr;
}

bool BLooper::Lock() {
    fLock.lock();
    fLockOwner = find_thread(nullptr);
    ++fLockCount;
    return true;
}

void BLooper::Unlock() {
    if (--fLockCount == 0)
        fLockOwner = -1;
    fLock.unlock();
}

bool BLooper::IsLocked() const {
    return fLockOwner == find_thread(nullptr);
}
