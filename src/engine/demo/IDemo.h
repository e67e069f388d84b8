#pragma once
// The show: owns the effects and post processors and picks, every frame, what is drawn.

class IEffect;

class IDemo {
public:
    virtual ~IDemo() = default;  // the engine owns its demo through this interface

    // False stops start-up; the demo has logged which part failed.
    virtual bool Init() = 0;
    virtual void Shutdown() = 0;
    // One frame: choose the effect and post processor and have the renderer draw them.
    virtual void Update() = 0;
    // Update without the drawing, for whoever steps frames it does not show: chooses as Update
    // does and returns the effect the frame would draw, null when there is none.
    virtual IEffect* PrepareFrame() = 0;
    // Back to the clocks of start-up (every effect's at 0, no effect time taken), for whoever
    // replays the frames from the start.
    virtual void Rewind() = 0;

    const char* name = nullptr;
    // The effect the last prepared frame chose, null before the first.
    const IEffect* shownEffect = nullptr;

protected:
    explicit IDemo(const char* displayName) : name(displayName) {}
};
