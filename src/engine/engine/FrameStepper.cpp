#include "engine/FrameStepper.h"

#include "demo/IDemo.h"
#include "render/IRenderer.h"
#include "sync/Sync.h"

#include <cmath>
#include <utility>

FrameStepper::FrameStepper(int framesPerSecond, FrameStart frameStart)
    : framesPerSecond(framesPerSecond), frameStart(std::move(frameStart)) {}

void FrameStepper::Restart(IDemo& demo, IRenderer& renderer) {
    demo.Rewind();
    renderer.Rewind();
    nextFrame = 0;
}

bool FrameStepper::MoveTo(double seconds, IDemo& demo, IRenderer& renderer, SyncContext& sync) {
    for (; FrameSeconds(nextFrame) < seconds; ++nextFrame) {
        if (!StartFrame(FrameSeconds(nextFrame), sync)) return false;
        // The demo picks its effect and moves the clocks as for a drawn frame, but nothing renders.
        if (IEffect* effect = demo.PrepareFrame()) renderer.AdvanceFrame(*effect);
    }
    if (FrameSeconds(nextFrame) == seconds) ++nextFrame;
    return StartFrame(seconds, sync);
}

double FrameStepper::FrameSeconds(int64_t frame) const {
    return static_cast<double>(frame) / framesPerSecond;
}

int64_t FrameStepper::FrameAtOrAfter(double seconds) const {
    // A position given in beats lands on a frame only up to rounding; it still counts as that frame.
    return static_cast<int64_t>(std::ceil(seconds * framesPerSecond - 1e-6));
}

// Each frame starts as in the player's loop, then takes one reading of the clock, here stepped
// to the frame's position.
bool FrameStepper::StartFrame(double seconds, SyncContext& sync) {
    if (frameStart && !frameStart()) return false;
    clock.Set(static_cast<float>(seconds));
    ReadFrameClock(sync);
    return true;
}
