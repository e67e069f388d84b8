#pragma once
// The player's one step: the window's pending messages, then one frame. The desktop backends call
// it in a loop of their own; the browser calls it once per animation frame.
#include "engine/Engine.h"

class PlayerLoop {
public:
    explicit PlayerLoop(Engine& engine) : engine_(engine) {}

    // False once WM_QUIT has come; the engine is shut down by then and exitCode() holds its code.
    bool Step();
    int exitCode() const { return exitCode_; }

    // The platform's main-loop callback.
    static bool StepCallback(void* loop) { return static_cast<PlayerLoop*>(loop)->Step(); }

private:
    Engine& engine_;
    int exitCode_ = 0;
};
