// quarn_bench_startup: the time from process start to the player's first frame, and its parts.
//
// By default the start-up runs Engine::Init's steps one by one, in its order and with its own
// functions, timing each: the log, the extensions, the window, the audio device, the soundtrack,
// the sync tracks, the renderer and every effect's Init, split into shader builds, mesh loads and
// texture loads. With --engine it runs Engine::Init itself, as a check on the total. Either way
// the first frame is drawn and finished, and the soundtrack decode is then timed again on its
// own beside oggdec's for the same file, the floor a decoder can reach.
//
//   quarn_bench_startup [--engine]

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "BenchLogger.h"
#include "BenchOptions.h"
#include "Measurement.h"
#include "StartupProbes.h"
#include "TimedFrame.h"
#include "demo/TestDemo.h"
#include "log/FileLogger.h"
#include "render/GLRenderer.h"
#include "resources/ProgramIcon.h"

namespace {

constexpr const char* kExecTimeVariable = "QUARN_BENCH_EXEC_NS";
constexpr int kDecodeRuns = 3;

double gExecMs = 0.0;  // the monotonic clock when the process was started, in ms

// Where the demo's Init is, from the engine's own "Initializing ..." lines.
struct InitMark {
    std::string name;
    double ms = 0.0;
    ProbeTotals totals;
};

class MarkingLogger final : public FileLogger {
public:
    void WritePair(const char* message, const char* argument) override {
        const std::string text = message;
        if (text == "Initializing Effect: " || text == "Initializing Post Processor: ")
            marks.push_back({argument ? argument : "", WallMilliseconds(), gProbeTotals});
        FileLogger::WritePair(message, argument);
    }
    std::vector<InitMark> marks;
};

class TimedRenderer final : public GLRenderer {
public:
    ITexture* GetTexture(const char* path, bool cubeMap) override {
        const double start = WallMilliseconds();
        ITexture* texture = GLRenderer::GetTexture(path, cubeMap);
        AddLoaderTime(gProbeTotals.textures, start);
        return texture;
    }
};

void PrintStep(const char* name, double ms) { std::printf("  %-44s %9.1f ms\n", name, ms); }

// Times from `start` to now as a step of the start-up, and moves `start` on.
void Step(const char* name, double& start) {
    const double now = WallMilliseconds();
    PrintStep(name, now - start);
    start = now;
}

void PrintLoader(const char* name, const LoaderTime& now, const LoaderTime& before) {
    std::printf("      %-10s %3d %9.1f ms\n", name, now.calls - before.calls, now.ms - before.ms);
}

void PrintEffectInits(const std::vector<InitMark>& marks, const InitMark& end) {
    for (size_t i = 0; i < marks.size(); ++i) {
        const InitMark& mark = marks[i];
        const InitMark& next = i + 1 < marks.size() ? marks[i + 1] : end;
        std::printf("    %-42s %9.1f ms\n", (mark.name + " Init").c_str(), next.ms - mark.ms);
        PrintLoader("shaders", next.totals.shaders, mark.totals.shaders);
        PrintLoader("meshes", next.totals.meshes, mark.totals.meshes);
        PrintLoader("textures", next.totals.textures, mark.totals.textures);
    }
}

// Engine::Init's steps in its order; `engine` ends up holding what the player's would, so its
// Shutdown releases it all.
bool TimedEngineStart(Engine& engine, double& start) {
    auto logger = std::make_unique<MarkingLogger>();
    if (!logger->Open()) return false;
    MarkingLogger& marks = *logger;
    engine.logger = std::move(logger);
    gLogger = engine.logger.get();
    gLogger->WriteTimestamp();
    gLogger->Write("Logger Initialized.");
    Step("log file", start);

    AppWindow temporaryWindow;
    CreateAppWindow(0, 0, temporaryWindow, &engine, false, false);
    if (!LoadExtensions(temporaryWindow)) return false;
    Step("extensions (hidden window, legacy context)", start);

    if (!CreateAppWindow(1280, 720, engine.window, &engine, true, true))
        CreateAppWindow(1280, 720, engine.window, &engine, true, false);
    ApplyProgramIcon(engine.window.window);
    engine.UpdateWindowMetrics();
    Step("window", start);

    if (InitAudio(engine.soundtrack)) SetListener(0.0f, 0.0f, 0.0f);
    Step("audio device", start);
    LoadSoundtrack(engine.soundtrack, 126.0f);
    Step("soundtrack (decode, OpenAL buffer)", start);

    gSync = &engine.sync;
    CreateSyncDevice(engine.sync, "./sync/", &engine.soundtrack);
    Step("sync device", start);

    engine.renderer = std::make_unique<TimedRenderer>();
    if (!engine.renderer->Init(engine.window.window, 4)) return false;
    gRenderer = engine.renderer.get();
    Step("renderer Init (3.3 context, fallback texture)", start);

    engine.demo = std::make_unique<TestDemo>();
    const bool demoReady = engine.demo->Init();
    const InitMark end{"", WallMilliseconds(), gProbeTotals};
    PrintStep("demo Init (effects in order)", end.ms - start);
    PrintEffectInits(marks.marks, end);
    start = end.ms;
    if (!demoReady) return false;
    if (engine.soundtrack.source != 0) alSourcePlay(engine.soundtrack.source);
    return true;
}

bool DrawFirstFrame(Engine& engine, double& start) {
    if (!engine.demo || !engine.renderer) return false;
    engine.demo->Update();
    glFinish();
    Step("first frame (drawn, presented, finished)", start);
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

bool RunEngineStartup(double start) {
    CaptureSession session(kBenchFramesPerSecond);
    std::string error;
    bool started = session.Start(QUARN_RUN_DIR, 0.0f, error);
    Step("Engine::Init", start);
    FrameTiming first;
    started = started && DrawTimedFrame(session, 0, first, error);
    if (started) {
        PrintStep("first frame (drawn, presented, finished)", first.wallMs);
        PrintStep("process start to first frame", WallMilliseconds() - gExecMs);
    }
    session.Stop();
    if (!started) std::fprintf(stderr, "quarn_bench_startup: %s\n", error.c_str());
    return started;
}

bool RunStartup(bool engineOnly) {
    const double mainMs = WallMilliseconds();
    std::printf("Start-up to the first frame (%s):\n", engineOnly ? "Engine::Init as the player runs it"
                                                                     : "Engine::Init's steps, timed one by one");
    PrintStep("process start to main (loader, libraries)", mainMs - gExecMs);
    double start = mainMs;
    if (engineOnly) return RunEngineStartup(start);
    if (chdir(QUARN_RUN_DIR) != 0) {
        std::fprintf(stderr, "quarn_bench_startup: cannot enter %s\n", QUARN_RUN_DIR);
        return false;
    }
    Engine engine;
    const bool started = TimedEngineStart(engine, start) && DrawFirstFrame(engine, start);
    if (started) {
        PrintStep("process start to first frame", start - gExecMs);
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

int main(int argc, char** argv) {
    // The clock starts before the exec, so the loader's work on our libraries counts too.
    if (const char* execNs = std::getenv(kExecTimeVariable)) {
        gExecMs = std::strtod(execNs, nullptr) * 1e-6;
    } else {
        setenv(kExecTimeVariable, std::to_string(MonotonicNanoseconds()).c_str(), 1);
        execv("/proc/self/exe", argv);
        gExecMs = WallMilliseconds();  // no re-exec: the loader's part is lost
    }
    return RunStartup(HasFlag(argc, argv, "--engine")) ? 0 : 1;
}
