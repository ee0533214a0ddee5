#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace sonlet {

// A thread object with the life of a classic worker: created suspended, started by Resume,
// asked to end by RequestTermination, waited for by WaitForEnd.
//
// Ending and destruction:
// - Owner keeps the object: RequestTermination(), then WaitForEnd(limit); once it returns
//   true the object may be destroyed without blocking. Destroying it earlier requests
//   termination and blocks until Execute returns.
// - FreeOnExit: when it is set, the object destroys itself once both have happened: its
//   thread has ended (or was never resumed) and RequestTermination() has been called. So
//   after setting FreeOnExit, the owner's call to RequestTermination() is its last use of the
//   object, and until that call the object stays valid even if its thread has ended.
// - ShutDown(object, limit) combines both for an owner that must not hang: it waits up to
//   limit and destroys the object, or, if the thread is still busy, leaves it to destroy
//   itself when it ends.
class CoreThread {
public:
    CoreThread() = default;
    CoreThread(const CoreThread&) = delete;
    CoreThread& operator=(const CoreThread&) = delete;
    virtual ~CoreThread();

    // Starts Execute on a new thread; later calls do nothing.
    void Resume();
    // Sets the termination flag and wakes the thread (WakeForTermination). Any thread.
    void RequestTermination();
    bool TerminationRequested() const { return terminated_.load(std::memory_order_acquire); }
    // True once Execute has returned (or at once when the thread was never resumed).
    bool WaitForEnd(std::chrono::milliseconds limit);

    // Requests termination and waits up to limit. Returns true when the thread has ended and
    // the object is destroyed; false when the thread still runs and will destroy the object
    // itself when it ends (the caller must then keep alive whatever the thread uses).
    static bool ShutDown(std::unique_ptr<CoreThread> thread, std::chrono::milliseconds limit);

    std::atomic<bool> FreeOnExit{false};

protected:
    // The thread body. It should return soon after TerminationRequested() becomes true.
    virtual void Execute() = 0;
    // Called under the object's lock when termination is requested: wake a waiting Execute.
    virtual void WakeForTermination() {}
    // Derived destructors call this first, so Execute never runs on a half-destroyed object.
    void EndThread();
    // Puts the calling thread on the system's real-time scheduling where the user may, for a
    // thread that must meet a device's deadlines while the machine is busy; false where it
    // may not (the thread then stays one step above normal).
    static bool RaiseToRealTime();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable ended_;
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    bool started_ = false;
    bool finished_ = false;
};

} // namespace sonlet
