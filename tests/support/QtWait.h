#pragma once

#include <chrono>

#include "support/WaitUntil.h"

// WaitUntil for Qt tests: runs the Qt event loop until `done` answers true or `limit` has
// passed; answers `done`'s last answer.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = kWaitLimit);

// Runs the Qt event loop for `span`, for checks that something does NOT happen.
void ProcessEventsFor(std::chrono::milliseconds span);
