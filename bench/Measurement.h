#pragma once
// The clocks the benchmarks time with, and the process's own memory figure.

// Milliseconds on the monotonic clock, and processor milliseconds of the calling thread.
double WallMilliseconds();
double ThreadCpuMilliseconds();
// Nanoseconds on the monotonic clock, comparable across an exec.
long long MonotonicNanoseconds();
// The process's peak resident set (VmHWM) in MiB, or -1 when /proc cannot tell.
double PeakResidentMiB();
