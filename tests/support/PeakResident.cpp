#include "support/PeakResident.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>

// Windows keeps the peak working set for the process's lifetime.
bool RestartPeakResident() {
    return false;
}

long PeakResidentKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}
#else
#include <fstream>
#include <string>

bool RestartPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";  // 5: reset the peak resident set size
    clear.flush();
    return static_cast<bool>(clear);
}

long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long kib = -1;
        if (key == "VmHWM:" && status >> kib)
            return kib;
        status.ignore(1 << 16, '\n');
    }
    return -1;
}
#endif
