// The kit's own waits, on which a stopping thread is woken (see OS.h).
//
// Every thread, whether the kit started it or not, has a park descriptor (an eventfd). A stop
// request and Unpark both write to it; a stop point polls it beside whatever it waits for, and
// throws kit::ThreadStopped when a stop was requested. Waits on a condition follow the parking
// pattern: register the thread's handle where the waker finds it, release the lock, Park, check
// the condition again. Every call is safe from any thread; each waits on the calling thread.
#pragma once

#include <memory>

#include "kit/kernel/OS.h"

namespace kit {

class ThreadRecord;
using ThreadHandle = std::shared_ptr<ThreadRecord>;

// The calling thread's handle (made on first use for a thread the kit did not start).
ThreadHandle CurrentThread();
// Wakes the thread from Park, or makes its next Park return at once.
void Unpark(const ThreadHandle& thread);
// Waits until unparked or until the deadline (system_time); false when the deadline passed.
// A stop point.
bool ParkUntil(bigtime_t deadline = B_INFINITE_TIMEOUT);
// Waits until fd reports one of events, or until the deadline; false when the deadline passed.
// A stop point.
bool WaitForFd(int fd, short events, bigtime_t deadline = B_INFINITE_TIMEOUT);
// Waits until fd reports one of events, the thread is unparked, or the deadline passes; gives
// what poll reported for fd (POLLHUP and POLLERR included), 0 when unparked or at the deadline.
// A stop point.
short WaitForEvents(int fd, short events, bigtime_t deadline = B_INFINITE_TIMEOUT);
// Throws ThreadStopped when the calling thread is being stopped.
void ThrowIfStopping();
// Whether the calling thread is being stopped, without stopping it.
bool StopRequested();
// True for a thread made with spawn_thread: only those wait when a looper's queue is full.
bool CurrentThreadIsSpawned();

// Starts a kit thread of the toolkit's own (a looper's), which is never made to wait on a full
// queue; it runs at once. Returns its id.
thread_id SpawnToolkitThread(thread_func func, const char* name, void* data);

}  // namespace kit
