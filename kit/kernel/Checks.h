// Checks of the threading contracts the headers state: which thread may call what, and which lock
// must be held. On in the test builds (KIT_THREAD_CHECKS), where a broken contract ends the
// program with the place it was broken; compiled out otherwise. Safe from any thread.
//
// The locks, in the one order in which a thread may take them while holding another: a looper's
// lock (BLooper::Lock, held while a window handles a message), the link's threadsLock (NetView),
// the link's lock (NetView), a queue's mutex (kit::Port, which also guards its runners' timers).
// None of them is held while posting to a queue that may be full, nor while waiting for another
// thread to end, except threadsLock, held while the link stops its own threads, which never take
// it.
#pragma once

#include <atomic>
#include <mutex>

#include "kit/kernel/OS.h"

namespace kit {

// Ends the program, naming the contract that was broken and where.
[[noreturn]] void ContractBroken(const char* what, const char* file, int line);

// A std::mutex that knows, in checked builds, which thread holds it.
class CheckedMutex {
public:
    void lock() {
        fMutex.lock();
#ifdef KIT_THREAD_CHECKS
        fOwner = find_thread(nullptr);
#endif
    }
    void unlock() {
#ifdef KIT_THREAD_CHECKS
        fOwner = -1;
#endif
        fMutex.unlock();
    }
    bool HeldByCaller() const {
#ifdef KIT_THREAD_CHECKS
        return fOwner == find_thread(nullptr);
#else
        return true;
#endif
    }

private:
    std::mutex fMutex;
#ifdef KIT_THREAD_CHECKS
    std::atomic<thread_id> fOwner{-1};
#endif
};

}  // namespace kit

#ifdef KIT_THREAD_CHECKS
#define KIT_CHECK(condition)                                       \
    do {                                                           \
        if (!(condition))                                          \
            ::kit::ContractBroken(#condition, __FILE__, __LINE__); \
    } while (false)
#else
#define KIT_CHECK(condition) \
    do {                     \
    } while (false)
#endif
