#pragma once
// The process's peak resident set (VmHWM on Linux, the peak working set on Windows). On Linux it
// can be restarted, so that a figure measures only what follows the restart rather than whatever
// an earlier test in the process peaked at.

// Sets the peak to the current resident set; false where the system refuses.
bool RestartPeakResident();
// In KiB; -1 when it cannot be read.
long PeakResidentKiB();
