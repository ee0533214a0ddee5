#pragma once

#include <QObject>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace sonlet {

class TThreadedTimer;

// The worker of a TThreadedTimer: waits Interval milliseconds, then has the GUI thread run
// the timer's tick and waits until it has run. "Suspended" is a wait the thread parks in;
// the thread itself lives from the timer's construction to its destruction.
class TTimerThread final : public QThread {
public:
    explicit TTimerThread(TThreadedTimer& owner);
    ~TTimerThread() override;

    std::uint32_t Interval() const;
    void SetInterval(std::uint32_t milliseconds);

    void Suspend();
    void Resume();
    // The stop event: cuts the current wait short without a tick (auto-reset).
    void SignalStop();
    // Ends the loop at once, also out of a wait for a tick that is still queued.
    void RequestTermination();

protected:
    void run() override;

private:
    void FinishTick();

    TThreadedTimer& owner_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::uint32_t interval_ = 1000;
    bool suspended_ = true;
    bool stopSignalled_ = false;
    bool terminated_ = false;
    bool tickPending_ = false;
};

// A timer whose ticks are timed by a thread of its own instead of the window system and are
// delivered on the GUI thread. Starts disabled, Interval 1000 ms, normal priority. Create,
// use and destroy it on the GUI thread; ticks need that thread's event loop.
class TThreadedTimer final : public QObject {
    Q_OBJECT

public:
    using TimerHandler = std::function<void(TThreadedTimer& sender)>;

    explicit TThreadedTimer(QObject* owner = nullptr);
    ~TThreadedTimer() override;

    // Called on every tick while enabled; may be empty. Whatever it throws is discarded.
    TimerHandler OnTimer;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Whether an Interval of 0 may run (as fast as the GUI thread takes the ticks).
    bool AllowZero() const { return allowZero_; }
    void SetAllowZero(bool value) { allowZero_ = value; }
    std::uint32_t Interval() const { return thread_.Interval(); }
    // A new interval restarts the period from now.
    void SetInterval(std::uint32_t milliseconds);
    QThread::Priority ThreadPriority() const { return priority_; }
    void SetThreadPriority(QThread::Priority priority);

    // Runs on the GUI thread for every tick of the worker.
    void DoTimer();

private:
    TTimerThread thread_;
    bool enabled_ = false;
    bool allowZero_ = false;
    QThread::Priority priority_ = QThread::NormalPriority;
};

} // namespace sonlet
