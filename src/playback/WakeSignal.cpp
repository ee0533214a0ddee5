#include "playback/WakeSignal.h"

#ifdef _WIN32
#include <climits>
#include <windows.h>
#endif

namespace sonlet {

#ifdef _WIN32

WakeSignal::WakeSignal() : semaphore_(::CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr)) {}

WakeSignal::~WakeSignal() { ::CloseHandle(semaphore_); }

void WakeSignal::Release() { ::ReleaseSemaphore(semaphore_, 1, nullptr); }

void WakeSignal::Acquire() { ::WaitForSingleObject(semaphore_, INFINITE); }

#else

WakeSignal::WakeSignal() = default;

WakeSignal::~WakeSignal() = default;

void WakeSignal::Release() { semaphore_.release(); }

void WakeSignal::Acquire() { semaphore_.acquire(); }

#endif

} // namespace sonlet
