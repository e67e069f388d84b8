#include "PeakResident.h"

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
