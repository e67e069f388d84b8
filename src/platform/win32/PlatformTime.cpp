// kernel32 tick counter and sleep, at a millisecond's precision.
//
// Windows wakes sleeping threads on its system timer, every 15.6 ms by default, which would turn
// a 16.67 ms frame budget into frames of 15.6 and 31.2 ms. timeBeginPeriod(1) raises the timer to
// 1 ms for as long as the program runs, as games do. GetTickCount itself still advances in whole
// timer intervals, so the tick is read from the performance counter instead.
#include "win32/Win32Windows.h"

#include <mmsystem.h>

namespace platform {

namespace {

class ProgramClock {
public:
    ProgramClock() {
        ::QueryPerformanceFrequency(&frequency_);
        ::QueryPerformanceCounter(&start_);
        raised_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    ~ProgramClock() {
        if (raised_) ::timeEndPeriod(1);
    }
    ProgramClock(const ProgramClock&) = delete;
    ProgramClock& operator=(const ProgramClock&) = delete;

    uint32_t Milliseconds() const {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        const uint64_t ticks = static_cast<uint64_t>(now.QuadPart - start_.QuadPart);
        const uint64_t perSecond = static_cast<uint64_t>(frequency_.QuadPart);
        return static_cast<uint32_t>(ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond);
    }

private:
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER start_{};
    bool raised_ = false;
};

// Made at static initialisation, i.e. when the program starts.
const ProgramClock kClock;

}  // namespace

uint32_t GetTickCount() {
    return kClock.Milliseconds();
}

void Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

void SetThreadPriorityBelowNormal() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace platform
