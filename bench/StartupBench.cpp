// quarn_bench_startup: the time from process start to the player's first frame, and its parts.
//
// Runs the player's own Engine::Init and times the steps it reports: the log, the extensions,
// the window, the audio device, the soundtrack, the sync tracks, the renderer and the demo, with
// every effect's Init split into shader builds, mesh loads and texture loads. The first frame is
// then drawn and finished, and the soundtrack decode is timed again on its own beside oggdec's
// for the same file, the floor a decoder can reach.
//
//   quarn_bench_startup

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "BenchLogger.h"
#include "Measurement.h"
#include "StartupTimer.h"
#include "engine/Engine.h"

namespace {

constexpr const char* kExecTimeVariable = "QUARN_BENCH_EXEC_NS";
constexpr int kDecodeRuns = 3;
constexpr const char* kLoadNames[] = {"shaders", "meshes", "textures"};

double gExecMs = 0.0;  // the monotonic clock when the process was started, in ms

void PrintStep(const char* name, double ms, int depth = 0) {
    std::printf("  %*s%-*s %9.1f ms\n", 2 * depth, "", 44 - 2 * depth, name, ms);
}

// Each step in the order it began; the loads under the innermost steps, the effects' Inits.
void PrintSteps(const std::vector<TimedStep>& steps) {
    for (const TimedStep& step : steps) {
        PrintStep(step.name.c_str(), step.ms, step.depth);
        if (step.hasInnerSteps || step.depth == 0)
            continue;
        for (size_t kind = 0; kind < step.loads.size(); ++kind)
            std::printf("  %*s%-10s %3d %9.1f ms\n", 2 * step.depth + 2, "", kLoadNames[kind], step.loads[kind].count,
                        step.loads[kind].ms);
    }
}

// The engine's Init as the player runs it, watched by `timer`.
bool TimedInit(Engine& engine, StartupTimer& timer) {
    gStartupObserver = &timer;
    const bool initialised = engine.Init(platform::GetModuleHandle());
    gStartupObserver = nullptr;
    PrintSteps(timer.Steps());
    return initialised;
}

// Drawn through the demo as the player's first frame is, and finished.
bool DrawFirstFrame(Engine& engine) {
    if (!engine.demo || !engine.renderer) return false;
    const double start = WallMilliseconds();
    ReadFrameClock(engine.sync);
    engine.demo->Update();
    glFinish();
    PrintStep("first frame (drawn, presented, finished)", WallMilliseconds() - start);
    return true;
}

double DecodeMilliseconds() {
    int channels = 0, rate = 0;
    int64_t bytes = 0;
    const double start = WallMilliseconds();
    const bool decoded = DecodeOggFile(channels, rate, bytes) != nullptr;
    return decoded ? WallMilliseconds() - start : -1.0;
}

double OggdecMilliseconds() {
    const double start = WallMilliseconds();
    const int status = std::system("oggdec --quiet --output=/dev/null ./Audio/tovik.ogg");
    return status == 0 ? WallMilliseconds() - start : -1.0;
}

// Best of a few runs, with the file in the page cache for both.
void PrintDecodeFloor() {
    StderrLogger logger;
    gLogger = &logger;
    double ours = 1e30, floor = 1e30;
    for (int run = 0; run < kDecodeRuns; ++run) {
        ours = std::min(ours, DecodeMilliseconds());
        floor = std::min(floor, OggdecMilliseconds());
    }
    gLogger = nullptr;
    std::printf("Soundtrack decode alone, best of %d: DecodeOggFile %.1f ms, oggdec %.1f ms%s\n", kDecodeRuns, ours,
                floor, floor < 0.0 ? " (oggdec failed: install vorbis-tools)" : "");
}

bool RunStartup() {
    const double mainMs = WallMilliseconds();
    std::printf("Start-up to the first frame (Engine::Init as the player runs it):\n");
    PrintStep("process start to main (loader, libraries)", mainMs - gExecMs);
    if (chdir(QUARN_RUN_DIR) != 0) {
        std::fprintf(stderr, "quarn_bench_startup: cannot enter %s\n", QUARN_RUN_DIR);
        return false;
    }
    Engine engine;
    StartupTimer timer;
    const bool started = TimedInit(engine, timer) && DrawFirstFrame(engine);
    if (started) {
        PrintStep("process start to first frame", WallMilliseconds() - gExecMs);
        std::printf("  renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    }
    engine.Shutdown();
    if (!started) {
        std::fprintf(stderr, "quarn_bench_startup: the start-up failed; see %s/LogFile.txt\n", QUARN_RUN_DIR);
        return false;
    }
    PrintDecodeFloor();
    return true;
}

}  // namespace

int main(int /*argc*/, char** argv) {
    // The clock starts before the exec, so the loader's work on our libraries counts too.
    if (const char* execNs = std::getenv(kExecTimeVariable)) {
        gExecMs = std::strtod(execNs, nullptr) * 1e-6;
    } else {
        setenv(kExecTimeVariable, std::to_string(MonotonicNanoseconds()).c_str(), 1);
        execv("/proc/self/exe", argv);
        gExecMs = WallMilliseconds();  // no re-exec: the loader's part is lost
    }
    return RunStartup() ? 0 : 1;
}
