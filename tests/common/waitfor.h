// Waiting in tests for a state that nothing announces (a file appearing, a process ending, a
// server session waiting for a lock): polls a condition until it holds or a limit passes.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testwait {

// True as soon as the condition holds; false when it still does not after `limit`.
inline bool until(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                  std::chrono::milliseconds step = std::chrono::milliseconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

} // namespace testwait
