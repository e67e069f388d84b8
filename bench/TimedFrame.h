#pragma once
// One of the player's frames drawn by its own engine objects and timed alone: the frames before
// it run undrawn first, so every clock reads what the player's would, and the pipeline is
// finished on both sides of the draw.

#include "CaptureSession.h"

#include <cstdint>
#include <string>

// The player's frame rate, at which the benchmarks step the soundtrack.
inline constexpr int kBenchFramesPerSecond = 60;

struct FrameTiming {
    double wallMs = 0.0;  // from a finished pipeline to the presented frame finished
    double cpuMs = 0.0;   // processor time of this thread meanwhile: effects and the driver's front end
};

// `frame` counts at kBenchFramesPerSecond; frames only ever move forward.
bool DrawTimedFrame(CaptureSession& session, int64_t frame, FrameTiming& timing, std::string& error);
