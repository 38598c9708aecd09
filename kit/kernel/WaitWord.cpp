#include "kit/kernel/WaitWord.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

namespace kit {

static_assert(sizeof(std::atomic<uint32>) == sizeof(uint32), "a futex is a plain 32-bit word");

void WaitWhileEqual(std::atomic<uint32>& word, uint32 value, bigtime_t deadline) {
    timespec until{};
    const timespec* timeout = nullptr;
    if (deadline != B_INFINITE_TIMEOUT) {
        // system_time is the monotonic clock in microseconds, moved on by a test's clock.
        const bigtime_t monotonic = deadline - ClockAdvance();
        until.tv_sec = static_cast<time_t>(monotonic / 1000000);
        until.tv_nsec = static_cast<long>(monotonic % 1000000) * 1000;
        timeout = &until;
    }
    // An absolute deadline on the monotonic clock; an interruption or a change of the word
    // returns at once, and the caller looks again.
    syscall(SYS_futex, reinterpret_cast<uint32*>(&word), FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG,
            value, timeout, nullptr, FUTEX_BITSET_MATCH_ANY);
}

void WakeAll(std::atomic<uint32>& word) {
    syscall(SYS_futex, reinterpret_cast<uint32*>(&word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG, INT_MAX,
            nullptr, nullptr, 0);
}

}  // namespace kit
