// Helpers shared by the tests: waiting with a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Called while a test waits; GUI test programs set it to run the GUI thread's events.
inline std::function<void()>& WaitPump() {
    static std::function<void()> pump;
    return pump;
}

// Waits until condition holds or the deadline passes; true when it holds. Runs the pump (or
// sleeps a millisecond) between checks.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (WaitPump())
            WaitPump()();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testing_support
