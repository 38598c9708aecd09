// A word that a thread sleeps on until another thread changes it (a Linux futex): the cheapest
// way for a looper to wait for its queue, one system call to sleep and one to wake it. Not a stop
// point: only threads that are never stopped (the loopers') wait on one. Safe from any thread.
#pragma once

#include <atomic>

#include "kit/kernel/OS.h"

namespace kit {

// Sleeps while word holds value, until woken or until the deadline (system_time); it may also
// return early now and then, so the caller looks again.
void WaitWhileEqual(std::atomic<uint32>& word, uint32 value, bigtime_t deadline);
// Wakes the threads sleeping on word; change the word first.
void WakeAll(std::atomic<uint32>& word);

}  // namespace kit
