#pragma once
// Author mode, run by the engine beside its own frame: the keys that pause, seek and loop, the
// exact seek (the demo's bookkeeping replayed from the start, as the capture tool does), the
// live reload of the timeline and the shaders from the watched source tree, the preview quality
// and the status in the window title.

#include "author/AuthorOptions.h"
#include "author/BrowserLauncher.h"
#include "author/EditorChannel.h"
#include "author/EditorServer.h"
#include "author/SourceWatcher.h"
#include "engine/FrameStepper.h"

#include <cstddef>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Engine;
struct SyncTrack;

class AuthorSession {
public:
    AuthorSession(Engine& engine, AuthorOptions options);

    // Once the demo is ready: reads the watched timeline and goes to the first position.
    void Start();
    // A key-down the engine does not handle itself.
    void HandleKey(uintptr_t key);
    // At the start of each frame: the end of the music or of the loop, and the polled sources.
    void BeforeFrame(float now);
    // The music stands still on purpose, so the engine keeps drawing.
    bool Holds() const { return paused; }
    // The status title, renewed a few times a second; `frameRate` negative leaves it out.
    void UpdateTitle(float now, int frameRate);

    // What the keys do.
    void TogglePause();
    // Exact: the frame shown is the one the player running from the start shows at `beat`.
    void SeekTo(double beat);
    void ToggleLoop();
    // Null: no loop.
    void SetLoop(std::optional<BeatLoop> beats);
    void TogglePreview();

    double Beat() const;
    bool Paused() const { return paused; }
    const std::optional<BeatLoop>& Loop() const { return loop; }

private:
    void WatchSources();
    void StartEditor();
    // Once a frame: what the page asked for, and the playhead it shows.
    void ServeEditor();
    void PublishPlayhead();
    void ReloadTimeline();
    void ReloadShader(const std::string& path);
    void RestartDemo();
    void Hold(float seconds);
    void Resume();
    double LastFrameSeconds() const;
    double SecondsAt(double beat) const;

    Engine& engine;
    AuthorOptions options;
    SourceWatcher watcher;
    std::optional<size_t> timelineFile;
    std::optional<BeatLoop> loop;
    bool paused = false;
    bool preview = false;
    double musicSeconds = 0.0;
    FrameStepper stepper;
    float lastTitleUpdate = 0.0f;
    char titleText[160] = {};
    char16_t title[160] = {};
    EditorChannel editorChannel;
    std::unique_ptr<EditorServer> editor;  // after its channel: stopped before it goes
    BrowserLauncher browser;
    std::vector<EditorCommand> editorCommands;
    std::array<const SyncTrack*, kEditorTrackCount> editorTracks{};
    long long editorFrame = 0;
};
