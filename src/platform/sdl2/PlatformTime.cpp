// kernel32 tick counter, sleep and thread priority.
#include "platform/Platform.h"

#include <SDL.h>

#include <chrono>
#include <thread>

namespace platform {

namespace {
// Taken at static initialisation, i.e. when the program starts.
const auto kProgramStart = std::chrono::steady_clock::now();
}  // namespace

uint32_t GetTickCount() {
    auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetThreadPriorityLowest() { SDL_SetThreadPriority(SDL_THREAD_PRIORITY_LOW); }

}  // namespace platform
