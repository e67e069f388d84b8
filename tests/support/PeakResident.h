#pragma once
// The process's peak resident set (Linux's VmHWM), restartable so that a figure measures only
// what follows the restart rather than whatever an earlier test in the process peaked at.

// Sets the peak to the current resident set; false where the kernel refuses.
bool RestartPeakResident();
// In KiB; -1 when it cannot be read.
long PeakResidentKiB();
