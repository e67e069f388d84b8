// quarn_bench_clock: the beat clock the renderer sees while the soundtrack really plays. A
// 60 frames per second loop reads CurrentBeat every 16.67 ms; the position OpenAL reports moves
// in steps of the mixer's period, so equal frames can be handed unequal beat deltas.
//
//   quarn_bench_clock [--seconds S]

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

namespace {

constexpr float kTempo = 126.0f;
constexpr auto kFramePeriod = std::chrono::microseconds(16667);

// The mixer's update period from the device's own figures, or 0 when it does not say.
double MixerPeriodMs(ALCdevice* device) {
    ALCint frequency = 0, refresh = 0;
    alcGetIntegerv(device, ALC_FREQUENCY, 1, &frequency);
    alcGetIntegerv(device, ALC_REFRESH, 1, &refresh);
    return frequency > 0 && refresh > 0 ? 1000.0 / refresh : 0.0;
}

std::vector<double> SampleBeatDeltas(const Soundtrack& soundtrack, int frames) {
    std::vector<double> deltas;
    deltas.reserve(static_cast<size_t>(frames));
    auto next = std::chrono::steady_clock::now();
    float last = CurrentBeat(soundtrack);
    for (int frame = 0; frame < frames; ++frame) {
        next += kFramePeriod;
        std::this_thread::sleep_until(next);
        const float beat = CurrentBeat(soundtrack);
        deltas.push_back(beat - last);
        last = beat;
    }
    return deltas;
}

// How many frames moved the clock by 0, 1, 2 ... mixer periods.
void PrintPeriodCounts(const std::vector<double>& deltas, double periodMs) {
    if (periodMs <= 0.0) return;
    const double periodBeats = periodMs / 1000.0 * kTempo / 60.0;
    std::vector<size_t> counts;
    for (const double delta : deltas) {
        const size_t periods = static_cast<size_t>(std::lround(std::max(delta, 0.0) / periodBeats));
        if (periods >= counts.size()) counts.resize(periods + 1);
        ++counts[periods];
    }
    std::printf("  frames by the mixer periods their delta spans (one period = %.5f beats):", periodBeats);
    for (size_t periods = 0; periods < counts.size(); ++periods) std::printf("  %zu: %zu", periods, counts[periods]);
    std::printf("\n");
}

void PrintDeltas(std::vector<double>& deltas, double periodMs, const char* device) {
    size_t zeros = 0;
    for (const double delta : deltas) zeros += delta == 0.0 ? 1 : 0;
    const double ideal = kTempo / 60.0 / 60.0;
    const Summary s = Summarise(deltas);
    std::printf("Beat deltas at 60 frames per second (%s, mixer period %.2f ms):\n", device, periodMs);
    std::printf("  frames %zu, ideal delta %.5f beats\n", s.count, ideal);
    std::printf("  min %.5f  mean %.5f  max %.5f  stddev %.5f beats (stddev %.0f%% of the ideal)\n", s.min, s.mean,
                s.max, s.stddev, 100.0 * s.stddev / ideal);
    std::printf("  zero deltas (frames on which the clock did not move): %zu (%.1f%%)\n", zeros,
                100.0 * static_cast<double>(zeros) / static_cast<double>(s.count));
    PrintPeriodCounts(deltas, periodMs);
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
        alSourcePlay(soundtrack.source);
        std::vector<double> deltas = SampleBeatDeltas(soundtrack, static_cast<int>(*seconds * 60.0));
        const char* device = alcGetString(soundtrack.device, ALC_DEVICE_SPECIFIER);
        PrintDeltas(deltas, MixerPeriodMs(soundtrack.device), device ? device : "unknown device");
    } else {
        std::fprintf(stderr, "quarn_bench_clock: no soundtrack playing; is %s/Audio/tovik.ogg there?\n", QUARN_RUN_DIR);
    }
    ReleaseSoundtrack(soundtrack);
    gLogger = nullptr;
    return ready ? 0 : 1;
}
