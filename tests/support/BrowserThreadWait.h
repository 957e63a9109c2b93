#pragma once

#include <QCoreApplication>

#include "platform/qt/BrowserThread.h"
#include "support/QtWait.h"

// Runs the Qt event loop until the work posted to `thread` so far has run and its results
// have been delivered; false when that takes longer than the wait limit.
inline bool WaitForBrowserThread(CBrowserThread& thread) {
    bool bDone = false;
    thread.Call<bool>(
        QCoreApplication::instance(), [] { return true; }, [&bDone](bool bRan) { bDone = bRan; });
    return WaitFor([&bDone] { return bDone; });
}
