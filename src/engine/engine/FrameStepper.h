#pragma once
// The player's frames at a fixed rate from the start of the soundtrack, run without drawing. What
// the demo shows depends on its past (an effect's clock moves only while it is selected, and jumps
// with "Effect Time"), so a position is reached exactly only by running every frame before it.
// The frames read a stepped clock, set to each frame's position. The capture tool steps to its
// stills and video frames with it, author mode to every position it seeks to.

#include "audio/SteppedClock.h"

#include <cstdint>
#include <functional>

class IDemo;
class IRenderer;
struct SyncContext;

class FrameStepper {
public:
    // Runs at the start of every stepped frame, before the clock is read; false stops the
    // stepping (the capture tool gives the window its messages there).
    using FrameStart = std::function<bool()>;

    FrameStepper(int framesPerSecond, FrameStart frameStart = {});

    // The clock the stepped frames read; whoever steps puts it into the sync context.
    SteppedClock& Clock() { return clock; }
    // Starts again from the state of start-up: every effect's clock and the renderer's memory of
    // the previous beat as Init left them.
    void Restart(IDemo& demo, IRenderer& renderer);
    // Runs the frames before `seconds` undrawn, then sets the clock to `seconds` (one of the
    // player's frames when it falls on one) and reads it into `sync` for a frame to draw there.
    // Positions only ever move forward between restarts.
    bool MoveTo(double seconds, IDemo& demo, IRenderer& renderer, SyncContext& sync);

    double FrameSeconds(int64_t frame) const;
    // The first frame at or after `seconds`.
    int64_t FrameAtOrAfter(double seconds) const;
    int64_t FramesRun() const { return nextFrame; }

private:
    bool StartFrame(double seconds, SyncContext& sync);

    int framesPerSecond;
    FrameStart frameStart;
    SteppedClock clock;
    int64_t nextFrame = 0;  // the next frame of the player not yet run
};
