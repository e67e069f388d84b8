#include "audio/SmoothedClock.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr double kDefaultPeriod = 1024.0 / 44100.0;  // OpenAL Soft's usual mixer update
constexpr double kCoarsePeriod = 4096.0 / 44100.0;

// A playing source as OpenAL shows it: the music is heard at (time - start) + from, but the
// reported position moves only at mixer updates, every `period` seconds.
struct SteppingSource {
    double period;
    double start = 100.0;  // the monotonic clock is far from zero, as steady_clock is
    double from = 0.0;     // the position playback started (or was last moved) at

    double Heard(double time) const { return from + (time - start); }
    ClockReport At(double time) const {
        const double lastUpdate = start + std::floor((time - start) / period) * period;
        return {time, from + (lastUpdate - start), true};
    }
    void MoveTo(double time, double position) {
        start = time;
        from = position;
    }
};

// Runs frames at 60 per second from `from` to `to`, and checks that the clock always moves
// forward at a steady pace; returns the largest distance from the heard music after `settled`.
double RunFrames(SmoothedClock& clock, const SteppingSource& source, double from, double to, double settled,
                 double& last) {
    double worst = 0.0;
    for (double time = from; time < to; time += kFrame) {
        const double position = clock.Follow(source.At(time));
        const double delta = position - last;
        EXPECT_GT(delta, 0.85 * kFrame) << "at " << time;
        EXPECT_LT(delta, 1.15 * kFrame) << "at " << time;
        last = position;
        if (time >= settled) worst = std::max(worst, std::fabs(position - source.Heard(time)));
    }
    return worst;
}

TEST(SmoothedClock, FollowsSteppingReportsSmoothlyAndClosely) {
    for (const double period : {kDefaultPeriod, kCoarsePeriod}) {
        SmoothedClock clock;
        const SteppingSource source{period};
        double last = clock.Follow(source.At(source.start + 0.001));
        // A clock that passed the reports on would be up to a whole period behind, and stand still.
        const double worst = RunFrames(clock, source, source.start + 0.001 + kFrame, source.start + 20.0,
                                       source.start + 3.0, last);
        EXPECT_LT(worst, 0.004) << "mixer period " << period;
    }
}

TEST(SmoothedClock, PausedStoppedAndMovedSourcesReadExactly) {
    SmoothedClock clock;
    SteppingSource source{kDefaultPeriod};
    double last = clock.Follow(source.At(source.start));
    RunFrames(clock, source, source.start + kFrame, source.start + 2.0, source.start + 2.0, last);

    // Paused: the position the source gives, however the smoothing stood.
    EXPECT_EQ(clock.Follow({source.start + 2.0, 1.9871, false}), 1.9871);
    // Resumed: taken as reported, then smooth again.
    source.MoveTo(source.start + 5.0, 1.9871);
    EXPECT_EQ(clock.Follow(source.At(source.start)), 1.9871);
    last = 1.9871;
    RunFrames(clock, source, source.start + kFrame, source.start + 1.0, source.start + 1.0, last);

    // Moved while playing, forward and back: the new position at once, not a slow slide to it.
    const double forwardAt = source.start + 1.0 + kFrame;
    source.MoveTo(forwardAt, 60.0);
    EXPECT_EQ(clock.Follow(source.At(forwardAt)), 60.0);
    const double backAt = forwardAt + kFrame;
    source.MoveTo(backAt, 10.5);
    EXPECT_EQ(clock.Follow(source.At(backAt)), 10.5);
    // A small move is told by the mover, since it looks like an ordinary late report.
    const double nudgeAt = backAt + kFrame;
    source.MoveTo(nudgeAt, 10.5 - 0.05);
    clock.Resync();
    EXPECT_EQ(clock.Follow(source.At(nudgeAt)), 10.45);

    // Played to the end: OpenAL rewinds a stopped source to 0, and so does the clock.
    EXPECT_EQ(clock.Follow({nudgeAt + kFrame, 0.0, false}), 0.0);
}

TEST(SmoothedClock, CatchesUpWithinFramesAfterAStall) {
    SmoothedClock clock;
    const SteppingSource source{kDefaultPeriod};
    double last = clock.Follow(source.At(source.start));
    RunFrames(clock, source, source.start + kFrame, source.start + 3.0, source.start + 3.0, last);

    // One frame took a second; the music played on meanwhile.
    const double resume = source.start + 4.0;
    const double afterStall = clock.Follow(source.At(resume));
    EXPECT_GT(afterStall, last);
    last = afterStall;
    double worst = 0.0;
    for (int frame = 1; frame <= 5; ++frame) {
        const double time = resume + frame * kFrame;
        const double position = clock.Follow(source.At(time));
        EXPECT_GT(position, last);
        last = position;
        worst = std::max(worst, std::fabs(position - source.Heard(time)));
    }
    EXPECT_LT(worst, kDefaultPeriod);
}

}  // namespace
