// Polling with a limit, for tests that wait on another thread or process.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Polls `done` every 10 ms for up to `seconds`; its last answer.
inline bool WaitUntil(const std::function<bool()>& done, int seconds = 15) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace testing_support
