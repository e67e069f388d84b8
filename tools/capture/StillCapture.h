#pragma once
// Runs the player's own engine objects frame by frame from the start of the soundtrack, as the
// player at 60 frames per second would, and draws only the frames that are asked for. The demo
// remembers its past (an effect's clock moves only while it is selected, and jumps with
// "Effect Time"), so a still can only be reached by stepping through every frame before it.

#include "engine/Engine.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class GLRenderer;
class TestDemo;

class StillCapture {
public:
    // Starts the engine inside `runDirectory`, with the soundtrack paused at its start.
    bool Start(const std::filesystem::path& runDirectory, std::string& error);
    // `beats` ascending; one PNG each in `outDirectory`. Refuses the lot when one lies beyond the
    // end of the soundtrack, where the player has stopped.
    bool CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory, std::string& error);
    // Also after a failed Start.
    void Stop();

private:
    bool CaptureStill(double beat, const std::filesystem::path& file, std::string& error);
    bool RunFrame(double seconds, bool draw, std::string& error);
    bool DispatchMessages(std::string& error);
    double SecondsAtBeat(double beat) const;

    Engine engine;
    bool started = false;
    TestDemo* demo = nullptr;
    GLRenderer* renderer = nullptr;
    double soundtrackSeconds = 0.0;
    int64_t nextFrame = 0;  // the next 1/60 s frame of the player not yet run
    std::vector<uint8_t> pixels;
};
