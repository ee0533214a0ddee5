#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace sonlet::testkit {

// Runs the GUI thread's events until done() holds; false when it still does not after a
// generous bound (so a broken test fails instead of hanging).
inline bool ProcessEventsUntil(const std::function<bool()>& done, int boundMs = 10000) {
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Runs the GUI thread's events for a while, for tests that check that nothing happens.
inline void ProcessEventsFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

} // namespace sonlet::testkit
