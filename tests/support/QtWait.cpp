#include "support/QtWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired()) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds span) {
    const QDeadlineTimer deadline(span);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}
