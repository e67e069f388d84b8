#pragma once
// Runs the player's own engine objects at 60 frames per second of soundtrack time, whatever the
// machine's speed: the soundtrack stays paused and each frame sets its position, so the demo
// picks its effects and moves its clocks exactly as the player would, and only the frames that
// are measured are drawn.

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/Engine.h"

class GLRenderer;
class TestDemo;

struct FrameTiming {
    double wallMs = 0.0;  // from a finished pipeline to the presented frame finished
    double cpuMs = 0.0;   // processor time of this thread meanwhile: effects and the driver's front end
};

inline constexpr int kDriverFramesPerSecond = 60;

class EngineDriver {
public:
    // Engine::Init inside `runDirectory`, then the soundtrack paused at its start.
    bool Start(const std::filesystem::path& runDirectory, std::string& error);
    // Runs, without drawing, every frame before `frame` not yet run.
    bool SkipTo(int64_t frame, std::string& error);
    // Skips up to `frame` and draws it as TestDemo::Update does, with glFinish on both sides.
    bool DrawFrame(int64_t frame, FrameTiming& timing, std::string& error);
    // Frames the player draws before the soundtrack ends.
    int64_t FrameCount() const;
    // Also after a failed Start.
    void Stop();

    Engine engine;
    TestDemo* demo = nullptr;
    GLRenderer* renderer = nullptr;

private:
    bool SetPosition(int64_t frame, std::string& error);
    bool DispatchMessages(std::string& error);

    bool started = false;
    double soundtrackSeconds = 0.0;
    int64_t nextFrame = 0;
};

// Seconds of sound the soundtrack's OpenAL buffer holds.
double BufferSeconds(unsigned buffer);
