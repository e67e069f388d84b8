#pragma once
// The player's own engine objects, run frame by frame at a fixed frame rate from the start of
// the soundtrack, however long each frame takes to render. The demo remembers its past (an
// effect's clock moves only while it is selected, and jumps with "Effect Time"), so a frame can
// only be reached by running every frame before it; those run without drawing. The capture tool
// draws its frames with it, and the benchmarks time theirs.

#include "FrameComposer.h"
#include "FrameSettings.h"
#include "SoundtrackTimes.h"
#include "engine/Engine.h"
#include "engine/FrameStepper.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// How far the frame being captured has come: the frames run undrawn up to it, then its renders.
struct CaptureProgress {
    int64_t framesRun = 0;
    int64_t framesToRun = 0;
    int rendersDone = 0;
    int renders = 0;
};

class CaptureSession {
public:
    using ProgressObserver = std::function<void(const CaptureProgress&)>;

    static constexpr int kWidth = FrameSettings{}.width;
    static constexpr int kHeight = FrameSettings{}.height;

    explicit CaptureSession(int framesPerSecond, const FrameSettings& frame = {});

    // Starts the engine inside `runDirectory`, with the soundtrack paused at its start and the
    // frames reading the session's own clock. The engine logs to `log`, made afresh (never the
    // player's LogFile.txt, nor through a link or into another's file).
    // `anisotropyCap` above 0 lowers the renderer's anisotropy before the effects make their samplers.
    bool Start(const std::filesystem::path& runDirectory, float anisotropyCap, const std::filesystem::path& log,
               std::string& error);
    // Also after a failed Start.
    void Stop();
    // Told after every stepped frame and every render of a frame being captured.
    void ObserveProgress(ProgressObserver observer) { progressObserver = std::move(observer); }
    // The stepping stops, between two frames, once `stop` says so (an interrupt).
    void StopWhen(bool (*stop)()) { stopRequested = stop; }
    // Before Start: the frames are to be drawn in author mode's preview quality.
    void UsePreview() { engine.previewAvailable = true; }

    // Runs the frames before `seconds` undrawn, then sets the clock to `seconds` (one of the
    // player's frames when it falls on one) for DrawFrame. Positions only ever move forward.
    bool MoveTo(double seconds, std::string& error);
    // Draws and presents the frame at the clock's position, as the player's loop does.
    void DrawFrame();
    bool DrawFrameAt(double seconds, std::string& error);
    // The frame just presented, RGB, bottom row first, at the render size.
    const std::vector<uint8_t>& ReadFrame();
    // The output frame at `seconds`: its renders drawn, read and composed. Null with `error` set
    // when the stepping stopped.
    const std::vector<uint8_t>* CaptureFrame(double seconds, std::string& error);
    const FrameSettings& Frame() const { return frame; }

    // The soundtrack as the engine holds it, once started.
    const SoundtrackTimes& Times() const { return times; }
    double FrameSeconds(int64_t frame) const { return times.FrameSeconds(frame); }
    int64_t FrameAtOrAfter(double seconds) const { return times.FrameAtOrAfter(seconds); }
    double SecondsAtBeat(double beat) const { return times.SecondsAtBeat(beat); }
    double BeatAtSeconds(double seconds) const { return times.BeatAtSeconds(seconds); }
    double SoundtrackSeconds() const { return times.Seconds(); }
    int64_t FramesRun() const { return stepper.FramesRun(); }
    float Tempo() const { return engine.soundtrack.tempo; }
    const IDemo& Demo() const { return *engine.demo; }

private:
    bool StartPreview();
    bool WithinLimits(std::string& error) const;
    bool DispatchMessages();
    // One render of the frame being captured is done: `pixels`, as they are.
    const std::vector<uint8_t>& Rendered(const std::vector<uint8_t>& pixels);

    const int framesPerSecond;
    const FrameSettings frame;
    FrameComposer composer;
    FrameStepper stepper;
    Engine engine;
    bool started = false;
    SoundtrackTimes times;
    double clockSeconds = 0.0;
    std::string stepError;  // why the stepping stopped
    bool (*stopRequested)() = nullptr;
    ProgressObserver progressObserver;
    CaptureProgress progress;
    std::vector<uint8_t> pixels;
};

// "\"path\"", as paths are shown in messages.
std::string Quoted(const std::filesystem::path& path);
