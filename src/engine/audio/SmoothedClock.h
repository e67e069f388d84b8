#pragma once
// The music's position, smoothed for pictures. OpenAL reports a playing source's position only
// once per mixer update (every 20 to 100 ms, by the device), so the report stands still for
// several frames and then leaps; a picture that follows it judders. This clock advances with a
// monotonic clock between reports and is steered gently towards where the reports say the
// music is. It is a plain class fed with reports, so that it can be tested without a device.

#include <array>
#include <cstddef>

// One look at the source: when (monotonic seconds), where the source says it is heard
// (seconds), and whether it is playing.
struct ClockReport {
    double time = 0.0;
    double position = 0.0;
    bool playing = false;
};

class SmoothedClock {
public:
    // The position for a frame at report.time. While the source plays it never steps back;
    // paused, stopped, just started or after a jump it is report.position exactly.
    double Follow(const ClockReport& report);
    // The next report is taken exactly, whatever came before (the source was moved by hand).
    void Resync() { locked = false; }

private:
    // What one report says of the music's offset from the monotonic clock (position - time
    // while it plays). A report seen at `time` appeared at a mixer update no later than that,
    // so position - time is a lower bound. A report that was not there at the previous frame
    // appeared between the two, so the middle of that interval places it to within half a
    // frame. The median of the last second's middles is the estimate: mixers that wake late
    // now and then (a busy machine) move it little. A tighter or quicker estimate (intersecting
    // the reports' intervals, or a shorter window) gains nothing that is heard: a report appears
    // when the mixer thread next wakes, and that delay sweeps through up to half a period and
    // wraps, so following it closely would put the mixer's sleep pattern into the motion.
    // Without middles (frames too far apart to place a report), the best lower bound is.
    struct Bound {
        double time;
        double lower;
        double middle;  // NaN when the report had not changed or the frames were too far apart
    };
    static constexpr size_t kBoundCapacity = 128;

    double Lock(const ClockReport& report);
    void Remember(const Bound& bound);
    double BestOffset(double now) const;

    bool locked = false;
    double output = 0.0;
    double lastTime = 0.0;
    double lastPosition = 0.0;
    std::array<Bound, kBoundCapacity> bounds{};
    size_t boundCount = 0;
    size_t newest = 0;
};
