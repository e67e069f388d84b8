// kernel32 tick counter, sleep and thread priority.
#include "platform/Platform.h"

#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
// Taken at static initialisation, i.e. when the program starts.
const auto kProgramStart = std::chrono::steady_clock::now();
// A third of a normal thread's share of a busy processor.
constexpr int kBelowNormalNice = 5;
}  // namespace

uint32_t GetTickCount() {
    auto elapsed = std::chrono::steady_clock::now() - kProgramStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// SDL knows only "low", which is nice 19 on Linux; a thread's own nice value is set by its id.
void SetThreadPriorityBelowNormal() { ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBelowNormalNice); }

}  // namespace platform
