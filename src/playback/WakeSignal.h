#pragma once

#ifndef _WIN32
#include <semaphore>
#endif

namespace sonlet {

// A counting wake-up: Release, from any thread, never blocks, locks or allocates (the audio
// device's callback calls it); Acquire blocks until there is a release to take.
// On Windows it is a semaphore of the system: the C++ library's counting_semaphore built by
// MinGW-w64 (GCC 12) waits on a condition variable that its release signals without the
// mutex, so a release that comes just as the waiter goes to sleep is lost and the waiter
// sleeps for good.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void Release();
    void Acquire();

private:
#ifdef _WIN32
    void* semaphore_;
#else
    std::counting_semaphore<> semaphore_{0};
#endif
};

} // namespace sonlet
