// The kit's basic types, status codes and kernel thread calls.
//
// Threads are plain POSIX threads with a stop request: kill_thread marks a thread, wakes it from
// whatever stop point it blocks in (accept, connect, recv, name look-up, BAlert::Go, a wait on a
// full queue, snooze) and returns once the thread has ended. The stopped thread unwinds by the
// exception ThreadStopped, so every lock and socket it owns through RAII is released, and it runs
// no further program code. Every call here is safe from any thread.
#pragma once

#include <cstdint>
#include <limits>

typedef int8_t int8;
typedef uint8_t uint8;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;

typedef int32 status_t;
typedef int32 thread_id;
typedef int64 bigtime_t;
typedef int32 (*thread_func)(void* data);

constexpr bigtime_t B_INFINITE_TIMEOUT = std::numeric_limits<int64>::max();

enum : status_t {
    B_OK = 0,
    B_ERROR = -1,
    B_NO_MEMORY = std::numeric_limits<int32>::min(),
    B_BAD_INDEX,
    B_BAD_TYPE,
    B_BAD_VALUE,
    B_NAME_NOT_FOUND,
    B_TIMED_OUT,
    B_WOULD_BLOCK,
    B_NO_INIT,
    B_BAD_THREAD_ID,
    B_BAD_PORT_ID,
    B_BAD_HANDLER,
    B_NOT_ALLOWED,
};

enum : int32 {
    B_LOW_PRIORITY = 5,
    B_NORMAL_PRIORITY = 10,
    B_DISPLAY_PRIORITY = 15,
    B_URGENT_DISPLAY_PRIORITY = 20,
};

namespace kit {
// Thrown at a stop point of a thread that kill_thread is stopping. Deliberately not a
// std::exception: thread code never catches it, the thread's entry wrapper does.
struct ThreadStopped {};
}  // namespace kit

// Creates a thread that runs nothing until resume_thread. Priorities are accepted and not applied.
thread_id spawn_thread(thread_func func, const char* name, int32 priority, void* data);
// Starts a spawned thread; for a running thread it does nothing.
status_t resume_thread(thread_id thread);
// Accepted so that the usual suspend-then-kill pair works; it does nothing more.
status_t suspend_thread(thread_id thread);
// Stops the thread and returns once it has ended. Not a stop point. A thread that kills itself is
// only marked: it stops at its next stop point.
status_t kill_thread(thread_id thread);
// Waits (not a stop point) until the thread has ended; its result goes to exitValue.
status_t wait_for_thread(thread_id thread, status_t* exitValue);
// The calling thread's id; the argument must be null.
thread_id find_thread(const char* name);
// Sleeps for the given time. A stop point.
status_t snooze(bigtime_t microseconds);
// Microseconds of a monotonic clock, plus what kit::AdvanceClock added.
bigtime_t system_time();

namespace kit {
// For tests that drive time: moves system_time on by the given microseconds (never back), and
// wakes every kit thread's sleep or wait to look at its deadline again. A looper waiting for its
// queue is not among them: kit::Port::WakeOwners wakes those.
void AdvanceClock(bigtime_t microseconds);
// How far AdvanceClock has moved system_time past the monotonic clock.
bigtime_t ClockAdvance();
}  // namespace kit
