#pragma once

#include <chrono>
#include <functional>
#include <thread>

// How long a test waits for something that should happen. Generous, since a loaded two-core
// machine is slow; the limit only keeps a broken test from hanging and is never the thing
// tested.
inline constexpr std::chrono::milliseconds kWaitLimit{30000};

// Asks `done` again and again until it answers true or `limit` has passed, and answers its
// last answer. Between two questions it runs `between`, or sleeps a millisecond when that is
// empty. Every test that waits for something waits through this; Qt tests use WaitFor
// (QtWait.h), which runs the event loop in between.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = kWaitLimit,
                      const std::function<void()>& between = {}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        if (between) {
            between();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}
