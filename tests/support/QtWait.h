#pragma once

#include <chrono>
#include <functional>

// Runs the Qt event loop until `done` answers true or `limit` has passed; answers `done`'s
// last answer. The limit only keeps a broken test from hanging: it is never the thing tested.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// Runs the Qt event loop for `span`, for checks that something does NOT happen.
void ProcessEventsFor(std::chrono::milliseconds span);
