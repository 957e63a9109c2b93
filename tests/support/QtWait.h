#pragma once

#include <QCoreApplication>
#include <QThread>

#include "support/WaitUntil.h"

// WaitUntil for Qt tests: runs the Qt event loop until `done` answers true or `limit` has
// passed; answers `done`'s last answer.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = kWaitLimit) {
    return WaitUntil(done, limit, [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    });
}

// Runs the Qt event loop for `span`, for checks that something does NOT happen.
inline void ProcessEventsFor(std::chrono::milliseconds span) {
    WaitFor([] { return false; }, span);
}
