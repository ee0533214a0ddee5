#include "support/CoreThread.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace sonlet {

namespace {

// One step above normal where the system allows it; an unprivileged process on Linux may
// not raise its priority, and then the thread simply runs at normal priority.
void RaisePriorityOneStep() {
#if defined(_WIN32)
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
#elif defined(__linux__)
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, tid);
    setpriority(PRIO_PROCESS, tid, current - 1);
#endif
}

} // namespace

bool CoreThread::RaiseToRealTime() {
#if defined(_WIN32)
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
#elif defined(__linux__)
    // A modest round-robin priority, within what the user's limit allows; a child process
    // started from this thread goes back to normal scheduling.
    constexpr int Wanted = 10;
    rlimit limit{};
    int priority = Wanted;
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur > 0 && limit.rlim_cur < static_cast<rlim_t>(Wanted)) {
        priority = static_cast<int>(limit.rlim_cur);
    }
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0;
#else
    return false;
#endif
}

CoreThread::~CoreThread() { EndThread(); }

void CoreThread::Resume() {
    std::lock_guard lock(mutex_);
    if (started_) {
        return;
    }
    started_ = true;
    thread_ = std::thread([this] { Run(); });
}

void CoreThread::Run() {
    RaisePriorityOneStep();
    Execute();
    bool destroy = false;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        destroy = FreeOnExit.load() && TerminationRequested();
        if (destroy) {
            thread_.detach();
        }
    }
    ended_.notify_all();
    if (destroy) {
        delete this;
    }
}

void CoreThread::RequestTermination() {
    bool destroy = false;
    {
        std::lock_guard lock(mutex_);
        terminated_.store(true, std::memory_order_release);
        WakeForTermination();
        destroy = FreeOnExit.load() && (finished_ || !started_);
    }
    if (destroy) {
        delete this;
    }
}

bool CoreThread::WaitForEnd(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, limit, [&] { return finished_ || !started_; });
}

bool CoreThread::ShutDown(std::unique_ptr<CoreThread> thread, std::chrono::milliseconds limit) {
    if (!thread) {
        return true;
    }
    // The caller owns the object here, so it must not destroy itself under our hands.
    thread->FreeOnExit.store(false);
    thread->RequestTermination();
    if (thread->WaitForEnd(limit)) {
        return true;
    }
    CoreThread* running = thread.release();
    {
        std::lock_guard lock(running->mutex_);
        if (!running->finished_) {
            running->FreeOnExit.store(true);
            return false;
        }
    }
    // It ended between the wait and the hand-over.
    delete running;
    return true;
}

void CoreThread::EndThread() {
    {
        std::lock_guard lock(mutex_);
        terminated_.store(true, std::memory_order_release);
        if (!finished_ && started_) {
            WakeForTermination();
        }
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

} // namespace sonlet
