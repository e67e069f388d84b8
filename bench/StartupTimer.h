#pragma once
// Times the start-up as the engine reports it: every step, nested steps under the step they run
// in, and the shader builds, mesh loads and texture loads made within each.

#include <array>
#include <string>
#include <vector>

#include "log/StartupObserver.h"

struct LoadTime {
    int count = 0;
    double ms = 0.0;
};

struct TimedStep {
    std::string name;
    int depth = 0;  // 0 for Engine::Init's own steps
    double ms = 0.0;
    // Shaders, meshes, textures, in the order of StartupEvent, counted in every step they ran in.
    std::array<LoadTime, 3> loads{};
    bool hasInnerSteps = false;
};

class StartupTimer final : public IStartupObserver {
public:
    void Begin(StartupEvent event, const char* name) override;
    void End(StartupEvent event, const char* name) override;

    // In the order they began.
    const std::vector<TimedStep>& Steps() const { return steps; }

private:
    struct OpenStep {
        size_t index = 0;
        double startMs = 0.0;
    };

    std::vector<TimedStep> steps;
    std::vector<OpenStep> open;
    double loadStartMs = 0.0;  // loads never nest
};
