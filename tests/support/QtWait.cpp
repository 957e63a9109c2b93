#include "support/QtWait.h"

#include <QCoreApplication>
#include <QThread>

namespace {

void ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return WaitUntil(done, limit, ProcessEvents);
}

void ProcessEventsFor(std::chrono::milliseconds span) {
    WaitUntil([] { return false; }, span, ProcessEvents);
}
