#pragma once
// Where a frame's music position comes from. The engine reads it once at the start of every
// frame (ReadFrameClock in the sync module), and everything that frame draws (the renderer's
// beat delta, the camera and demo rows, the effects' beat, the bloom's row) sees that one
// reading, so no two readers of a frame can disagree by a mixer step.

class IFrameClock {
public:
    virtual ~IFrameClock() = default;

    // The music's position in seconds for the frame that starts now; -1 when it cannot be read.
    // Called once per frame, by the engine's frame (or whatever steps frames in its place).
    virtual float ReadSeconds() = 0;
    // The source was just moved, paused, resumed or stopped by hand: the next reading takes its
    // position exactly, carrying nothing across the jump.
    virtual void Resync() = 0;
};
