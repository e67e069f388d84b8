#include "Measurement.h"

#include <cstdio>
#include <ctime>

namespace {

double Milliseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

}  // namespace

double WallMilliseconds() { return Milliseconds(CLOCK_MONOTONIC); }

double ThreadCpuMilliseconds() { return Milliseconds(CLOCK_THREAD_CPUTIME_ID); }

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double PeakResidentMiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1.0;
    char line[256];
    double kib = -1.0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
    std::fclose(status);
    return kib < 0.0 ? -1.0 : kib / 1024.0;
}
