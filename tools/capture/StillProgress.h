#pragma once
// A line on the terminal for a still that takes long (a late beat, a large size, many renders of
// motion blur): the frames run up to it, then its renders, "sub-frame k of N", with the time left.
// Quick stills say nothing more than before.

#include "CaptureSession.h"

#include <chrono>
#include <cstdio>
#include <string>

class StillProgress {
public:
    explicit StillProgress(std::FILE* stream) : stream(stream) {}

    // A new still, named `what` in the line.
    void Begin(const std::string& what);
    void Update(const CaptureProgress& progress);
    // Moves past the line, when there is one.
    void End();

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* const stream;
    std::string name;
    Clock::time_point start{};
    Clock::time_point rendersStart{};  // when the first render began
    Clock::time_point lastDrawn{};
    bool drawn = false;
};
