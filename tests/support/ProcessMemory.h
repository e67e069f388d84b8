#pragma once
// The most memory this process has held resident so far, in KiB.

long PeakResidentKiB();
