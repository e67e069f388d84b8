#pragma once
// How long a frame sleeps to fill its budget.

#include <cstdint>
#include <optional>

// t0 before the audio check, t1 before the demo update, t2 after it, all tick milliseconds.
// The rest of the budget, truncated to whole milliseconds; nothing when the frame used it up.
std::optional<uint32_t> FrameSleepMilliseconds(float frameBudget, float t0, float t1, float t2);
