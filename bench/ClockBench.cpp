// quarn_bench_clock: the frame clock the player ships, against the music it follows, while the
// soundtrack really plays. A 60 frames per second loop reads the clock once a frame, as the
// engine does. The reference is the music as heard: between frames the source is polled about
// every millisecond, the moment a new report appears is taken as that report's time, and the
// latest report is extrapolated at one second per second (the report itself, read at frame
// time, would lag by half a mixer period on average). Beside it, the raw offset that each frame
// read before the clock was smoothed shows what the smoothing removes.
//
// The reference carries the mixer thread's own timing: a report appears when that thread next
// wakes after its update is due, not at the update, so the reference lags the device's timeline
// by a delay that varies from report to report. The bench prints that delay and how far the
// reference wanders within a second, so the distances below can be read against that floor.
//
//   quarn_bench_clock [--seconds S]
//
// OpenAL Soft's mixer period comes from its configuration; for a coarse one, run it with
// ALSOFT_CONF naming a file that holds "[general]" and "period_size = 4096".

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchLogger.h"
#include "BenchOptions.h"
#include "Summary.h"
#include "audio/Soundtrack.h"
#include "audio/SoundtrackClock.h"

namespace {

constexpr float kTempo = 126.0f;
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kIdealDelta = kTempo / 60.0 * kFrameSeconds;  // beats
constexpr auto kPollPeriod = std::chrono::milliseconds(1);

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The newest report the poller has seen, and when it first saw it.
struct Reference {
    double heard = 0.0;
    double seenAt = 0.0;

    double At(double now) const { return heard + (now - seenAt); }
};

// How much the reference itself wanders: heard - seenAt of each report as it appeared, and
// reference - now at each frame.
struct ReferenceSpread {
    std::vector<double> reportOffsets;
    std::vector<double> frameOffsets;
};

// What each frame of one clock read, in beats, and how far from the reference, in seconds.
struct Trace {
    std::vector<double> beats;
    std::vector<double> errors;

    void Add(float seconds, double reference) {
        beats.push_back(BeatsAtSeconds(kTempo, seconds));
        errors.push_back(seconds - reference);
    }
};

struct Figures {
    double stddevPercent = 0.0;
    size_t zeroDeltas = 0;
    size_t backwardSteps = 0;
    double biasMs = 0.0;  // the mean signed difference: above 0 the clock runs ahead of the music
    double meanErrorMs = 0.0;
    double maxErrorMs = 0.0;
};

class ClockRun {
public:
    ClockRun(const Soundtrack& soundtrack, LPALGETSOURCEDVSOFT query, ReferenceSpread& spread)
        : soundtrack(soundtrack), query(query), spread(spread), start(Clock::now()) {}

    // `frameTimes` gets when each frame read its clocks, in seconds from the start.
    void Frames(int count, Trace& shipped, Trace& raw, std::vector<double>& frameTimes) {
        SoundtrackClock clock(soundtrack);
        auto next = Clock::now();
        for (int frame = 0; frame < count; ++frame) {
            next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kFrameSeconds));
            PollUntil(next);
            const double now = SecondsSince(start);
            frameTimes.push_back(now);
            const float shippedSeconds = clock.ReadSeconds();
            const float rawSeconds = PlaybackSeconds(soundtrack);
            shipped.Add(shippedSeconds, reference.At(now));
            raw.Add(rawSeconds, reference.At(now));
            spread.frameOffsets.push_back(reference.At(now) - now);
        }
    }

private:
    void PollUntil(Clock::time_point until) {
        for (;;) {
            Poll();
            const auto now = Clock::now();
            if (now >= until) return;
            std::this_thread::sleep_for(std::min<Clock::duration>(kPollPeriod, until - now));
        }
    }

    void Poll() {
        const double heard = HeardSeconds(soundtrack, query);
        if (heard == lastHeard) return;
        reference = {heard, SecondsSince(start)};
        // The first report was there before polling began: when it appeared is unknown.
        if (lastHeard != kUnread) spread.reportOffsets.push_back(reference.heard - reference.seenAt);
        lastHeard = heard;
    }

    const Soundtrack& soundtrack;
    LPALGETSOURCEDVSOFT query;
    ReferenceSpread& spread;
    Clock::time_point start;
    Reference reference;
    static constexpr double kUnread = -1e9;
    double lastHeard = kUnread;
};

Figures Measure(const Trace& trace) {
    Figures figures;
    std::vector<double> deltas;
    for (size_t i = 1; i < trace.beats.size(); ++i) {
        const double delta = trace.beats[i] - trace.beats[i - 1];
        deltas.push_back(delta);
        figures.zeroDeltas += delta == 0.0 ? 1 : 0;
        figures.backwardSteps += delta < 0.0 ? 1 : 0;
    }
    figures.stddevPercent = 100.0 * Summarise(deltas).stddev / kIdealDelta;
    std::vector<double> errors;
    for (const double error : trace.errors) {
        figures.biasMs += 1000.0 * error / static_cast<double>(trace.errors.size());
        errors.push_back(std::fabs(error));
    }
    const Summary error = Summarise(errors);
    figures.meanErrorMs = 1000.0 * error.mean;
    figures.maxErrorMs = 1000.0 * error.max;
    return figures;
}

// How evenly the loop itself ran: a clock that follows real time can be no steadier.
void PrintFramePacing(const std::vector<double>& frameTimes) {
    std::vector<double> intervals;
    for (size_t i = 1; i < frameTimes.size(); ++i) intervals.push_back(frameTimes[i] - frameTimes[i - 1]);
    const Summary s = Summarise(intervals);
    std::printf("  frame loop: interval stddev %.1f%% of 1/60 s, longest %.1f ms\n", 100.0 * s.stddev / kFrameSeconds,
                1000.0 * s.max);
}

// The device's updates are evenly spaced, so the report that appeared earliest for its position
// marks the device's timeline; every other one appeared that much later.
void PrintReportDelays(const std::vector<double>& reportOffsets) {
    if (reportOffsets.empty()) return;
    const double earliest = *std::max_element(reportOffsets.begin(), reportOffsets.end());
    std::vector<double> delays;
    for (const double offset : reportOffsets) delays.push_back(earliest - offset);
    const Summary delay = Summarise(delays);
    std::printf("  reference: reports seen %.1f to %.1f ms (mean %.1f) after the earliest for their position\n",
                1000.0 * delay.min, 1000.0 * delay.max, 1000.0 * delay.mean);
}

// How far the reference strays from its own running median over a second (half a second either
// side, in hindsight): a clock as smooth as that median is about this far from the reference
// however well it estimates, since the faster wander is the mixer thread's, not the music's.
void PrintReferenceWander(const std::vector<double>& frameOffsets) {
    constexpr size_t kHalfWindow = 30;  // frames
    std::vector<double> window, distances;
    for (size_t i = 0; i < frameOffsets.size(); ++i) {
        const size_t first = i > kHalfWindow ? i - kHalfWindow : 0;
        const size_t last = std::min(frameOffsets.size(), i + kHalfWindow + 1);
        window.assign(frameOffsets.begin() + static_cast<std::ptrdiff_t>(first),
                      frameOffsets.begin() + static_cast<std::ptrdiff_t>(last));
        const auto median = window.begin() + static_cast<std::ptrdiff_t>(window.size() / 2);
        std::nth_element(window.begin(), median, window.end());
        distances.push_back(std::fabs(frameOffsets[i] - *median));
    }
    std::printf("  reference: its own one-second running median is %.2f ms from it on average\n",
                1000.0 * Summarise(distances).mean);
}

// Per clock: the frame-to-frame beat delta (stddev as a share of the ideal, frames that did not
// move, frames that moved back) and the distance from the music as heard.
void PrintRowHeader() {
    std::printf("  %-26s %8s %10s %9s %14s %11s %12s\n", "", "stddev", "zero-delta", "backward", "mean |c-audio|",
                "max", "mean c-audio");
}

void PrintRow(const char* name, const Figures& f) {
    std::printf("  %-26s %7.1f%% %10zu %9zu %11.2f ms %8.2f ms %+9.2f ms\n", name, f.stddevPercent, f.zeroDeltas,
                f.backwardSteps, f.meanErrorMs, f.maxErrorMs, f.biasMs);
}

// The mixer's update period and the output latency as the device reports them.
void PrintDevice(const Soundtrack& soundtrack, LPALGETSOURCEDVSOFT query, size_t frames) {
    ALCint frequency = 0, refresh = 0;
    alcGetIntegerv(soundtrack.device, ALC_FREQUENCY, 1, &frequency);
    alcGetIntegerv(soundtrack.device, ALC_REFRESH, 1, &refresh);
    const char* name = alcGetString(soundtrack.device, ALC_DEVICE_SPECIFIER);
    std::printf("Frame clock at 60 frames per second, %zu frames (%s, %d Hz, mixer update %d Hz = %.1f ms)\n", frames,
                name ? name : "unknown device", frequency, refresh, refresh > 0 ? 1000.0 / refresh : 0.0);
    if (query) {
        ALdouble offsetAndLatency[2] = {0.0, 0.0};
        query(soundtrack.source, AL_SEC_OFFSET_LATENCY_SOFT, offsetAndLatency);
        std::printf("  AL_SOFT_source_latency: output latency %.1f ms, subtracted from the offset\n",
                    1000.0 * offsetAndLatency[1]);
    } else {
        std::printf("  no AL_SOFT_source_latency: the plain offset is followed\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto seconds = NumberOption(argc, argv, "--seconds", 10, 0.1, 180);
    if (!seconds) return 2;
    if (chdir(QUARN_RUN_DIR) != 0) {
        std::fprintf(stderr, "quarn_bench_clock: cannot enter %s\n", QUARN_RUN_DIR);
        return 1;
    }
    StderrLogger logger;
    gLogger = &logger;
    Soundtrack soundtrack;
    const bool ready = InitAudio(soundtrack) && LoadSoundtrack(soundtrack, kTempo) && soundtrack.source != 0;
    if (ready) {
        const LPALGETSOURCEDVSOFT query = FindOffsetLatencyQuery();
        const int frames = static_cast<int>(*seconds * 60.0);
        Trace shipped, raw;
        std::vector<double> frameTimes;
        ReferenceSpread spread;
        spread.reportOffsets.reserve(static_cast<size_t>(*seconds * 1000.0));
        alSourcePlay(soundtrack.source);
        ClockRun(soundtrack, query, spread).Frames(frames, shipped, raw, frameTimes);
        PrintDevice(soundtrack, query, shipped.beats.size());
        PrintFramePacing(frameTimes);
        PrintReportDelays(spread.reportOffsets);
        PrintReferenceWander(spread.frameOffsets);
        PrintRowHeader();
        PrintRow("raw offset (before)", Measure(raw));
        const Figures f = Measure(shipped);
        PrintRow("shipped clock", f);
        std::printf("clock: stddev %.1f%% of ideal, zero-delta frames %zu, mean |clock-audio| %.1f ms, max %.1f ms, "
                    "backward steps %zu\n",
                    f.stddevPercent, f.zeroDeltas, f.meanErrorMs, f.maxErrorMs, f.backwardSteps);
    } else {
        std::fprintf(stderr, "quarn_bench_clock: no soundtrack playing; is %s/Audio/tovik.ogg there?\n", QUARN_RUN_DIR);
    }
    ReleaseSoundtrack(soundtrack);
    gLogger = nullptr;
    return ready ? 0 : 1;
}
