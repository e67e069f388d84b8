// kernel32 tick counter, sleep and thread priority in a browser.
#include "platform/Platform.h"

#include <emscripten.h>

namespace platform {

namespace {
const double kProgramStart = emscripten_get_now();
}  // namespace

uint32_t GetTickCount() { return static_cast<uint32_t>(emscripten_get_now() - kProgramStart); }

// The page's thread cannot block without stopping the page: the browser paces the frames, so a
// wait is a busy one and meant to be short.
void Sleep(uint32_t milliseconds) {
    const double end = emscripten_get_now() + milliseconds;
    while (emscripten_get_now() < end) {
    }
}

// The player in a page runs on one thread.
void SetThreadPriorityBelowNormal() {}

}  // namespace platform
