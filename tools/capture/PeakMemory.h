#pragma once
// The most memory a process has held resident: its VmHWM in /proc. Not getrusage's or wait4's
// ru_maxrss, which for a process started by posix_spawn or fork already holds its parent's peak
// (Linux keeps the largest of a process's memories before and after its exec), so that every
// child of a large capture would seem as large as the capture.

#include <sys/types.h>

// In kilobytes; 0 when it cannot be read (the process has ended).
long PeakKilobytes(pid_t process);
long OwnPeakKilobytes();
