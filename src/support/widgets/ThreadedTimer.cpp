#include "support/widgets/ThreadedTimer.h"

#include <chrono>

namespace sonlet {

TTimerThread::TTimerThread(TThreadedTimer& owner) : owner_(owner) {}

TTimerThread::~TTimerThread() {
    RequestTermination();
    wait();
}

std::uint32_t TTimerThread::Interval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

void TTimerThread::SetInterval(std::uint32_t milliseconds) {
    std::lock_guard lock(mutex_);
    interval_ = milliseconds;
}

void TTimerThread::Suspend() {
    std::lock_guard lock(mutex_);
    suspended_ = true;
    wake_.notify_all();
}

void TTimerThread::Resume() {
    std::lock_guard lock(mutex_);
    suspended_ = false;
    wake_.notify_all();
}

void TTimerThread::SignalStop() {
    std::lock_guard lock(mutex_);
    stopSignalled_ = true;
    wake_.notify_all();
}

void TTimerThread::RequestTermination() {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    wake_.notify_all();
}

void TTimerThread::FinishTick() {
    std::lock_guard lock(mutex_);
    tickPending_ = false;
    wake_.notify_all();
}

void TTimerThread::run() {
    std::unique_lock lock(mutex_);
    while (!terminated_) {
        wake_.wait(lock, [this] { return terminated_ || !suspended_; });
        if (terminated_) {
            break;
        }
        const bool interrupted = wake_.wait_for(lock, std::chrono::milliseconds(interval_), [this] {
            return stopSignalled_ || suspended_ || terminated_;
        });
        if (stopSignalled_) {
            stopSignalled_ = false;
            continue;
        }
        if (interrupted) {
            continue;
        }
        tickPending_ = true;
        lock.unlock();
        // The timer is the context: if it is gone before the call runs, the call is dropped.
        QMetaObject::invokeMethod(
            &owner_,
            [this] {
                owner_.DoTimer();
                FinishTick();
            },
            Qt::QueuedConnection);
        lock.lock();
        wake_.wait(lock, [this] { return !tickPending_ || terminated_; });
    }
}

TThreadedTimer::TThreadedTimer(QObject* owner) : QObject(owner), thread_(*this) {
    thread_.start(priority_);
}

TThreadedTimer::~TThreadedTimer() {
    thread_.RequestTermination();
    thread_.SignalStop();
    thread_.Resume();
    thread_.wait();
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == enabled_) {
        return;
    }
    enabled_ = value;
    if (!value) {
        thread_.Suspend();
        return;
    }
    if (Interval() > 0 || allowZero_) {
        thread_.SignalStop();
        thread_.Resume();
    }
}

void TThreadedTimer::SetInterval(std::uint32_t milliseconds) {
    if (milliseconds == Interval()) {
        return;
    }
    const bool wasEnabled = enabled_;
    SetEnabled(false);
    thread_.SetInterval(milliseconds);
    SetEnabled(wasEnabled);
}

void TThreadedTimer::SetThreadPriority(QThread::Priority priority) {
    priority_ = priority;
    thread_.setPriority(priority);
}

void TThreadedTimer::DoTimer() {
    if (!enabled_ || !OnTimer) {
        return;
    }
    try {
        OnTimer(*this);
    } catch (...) {
        // A failing handler must not stop the timer.
    }
}

} // namespace sonlet
