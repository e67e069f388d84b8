#include "author/AuthorSession.h"

#include "audio/Soundtrack.h"
#include "demo/IEffect.h"
#include "engine/Engine.h"
#include "formats/Timeline.h"
#include "log/ILogger.h"
#include "render/GLRenderer.h"
#include "render/ShaderProgram.h"
#include "render/ShaderSources.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

namespace {

constexpr int kFramesPerSecond = 60;  // the rate at which the player's bookkeeping is replayed
constexpr double kPatternBeats = 16.0;
constexpr float kTitleInterval = 100.0f;  // milliseconds
constexpr const char* kEditorPageDirectory = "editor";  // in the run directory
constexpr size_t kEditorCommandCapacity = 64;

}  // namespace

AuthorSession::AuthorSession(Engine& engine, AuthorOptions options)
    : engine(engine),
      options(std::move(options)),
      loop(this->options.loop),
      stepper(kFramesPerSecond) {}

void AuthorSession::Start() {
    musicSeconds = std::max(SoundtrackSeconds(), 0.0);
    WatchSources();
    if (timelineFile) ReloadTimeline();
    SeekTo(options.fromBeat.value_or(loop ? loop->from : 0.0));
    if (options.editor && timelineFile) StartEditor();
}

void AuthorSession::StartEditor() {
    // Every track is looked up once here, so that a frame only reads them.
    for (size_t i = 0; i < kEditorTrackCount; ++i)
        editorTracks[i] = GetTrack(KnownTrackNames()[i].c_str(), engine.sync.device.get());
    editorCommands.reserve(kEditorCommandCapacity);
    EditorSettings settings;
    settings.timelinePath = watcher.Path(*timelineFile);
    settings.pageDirectory = kEditorPageDirectory;
    settings.soundtrackPath = kSoundtrackPath;
    settings.listenAddress = options.editorListen;
    settings.port = options.editorPort;
    settings.tempo = engine.soundtrack.tempo;
    settings.musicBeats = engine.soundtrack.tempo * musicSeconds / 60.0;
    editor = std::make_unique<EditorServer>(editorChannel);
    std::string error;
    if (!editor->Start(settings, error)) {
        editor.reset();
        gLogger->WritePair("ERROR: Timeline Editor Not Started: ", error.c_str());
        return;
    }
    gLogger->Write("Timeline Editor Started.");
    for (const std::string& url : editor->Urls())
        std::printf("Timeline editor: %s\n", url.c_str());
    std::fflush(stdout);
    if (options.openBrowser) browser.Open(editor->Url());
}

void AuthorSession::ServeEditor() {
    if (!editor) return;
    editorChannel.Take(editorCommands);
    for (const EditorCommand& command : editorCommands) {
        switch (command.kind) {
        case EditorCommand::Kind::kSeek: SeekTo(command.from); break;
        case EditorCommand::Kind::kSetLoop: SetLoop(BeatLoop{command.from, command.to}); break;
        case EditorCommand::Kind::kClearLoop: SetLoop(std::nullopt); break;
        case EditorCommand::Kind::kTogglePause: TogglePause(); break;
        case EditorCommand::Kind::kTimelineSaved:
            // The saved file is read as the watcher would read it, once: one path for both.
            watcher.Refresh(*timelineFile);
            ReloadTimeline();
            break;
        }
    }
    PublishPlayhead();
}

void AuthorSession::PublishPlayhead() {
    EditorPlayhead playhead;
    playhead.beat = Beat();
    playhead.paused = paused;
    playhead.loop = loop;
    playhead.frame = ++editorFrame;
    const double row = playhead.beat * kRowsPerBeat;
    for (size_t i = 0; i < kEditorTrackCount; ++i) playhead.values[i] = GetValue(editorTracks[i], row);
    editorChannel.Publish(playhead);
}

void AuthorSession::WatchSources() {
    if (options.watchDirectory.empty()) return;
    const std::filesystem::path root = options.watchDirectory;
    timelineFile = watcher.Add((root / "timeline.txt").string());
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator(root / "Shaders", failure))
        if (entry.is_regular_file(failure)) watcher.Add(entry.path().string());
}

void AuthorSession::HandleKey(uintptr_t key) {
    const double pattern = platform::GetKeyState(platform::VK_SHIFT) < 0 ? kPatternBeats : 1.0;
    switch (key) {
    case platform::VK_SPACE: TogglePause(); break;
    case platform::VK_LEFT: SeekTo(Beat() - pattern); break;
    case platform::VK_RIGHT: SeekTo(Beat() + pattern); break;
    case platform::VK_HOME: SeekTo(loop ? loop->from : 0.0); break;
    case 'L': ToggleLoop(); break;
    case 'Q': TogglePreview(); break;
    default: break;
    }
}

void AuthorSession::BeforeFrame(float now) {
    ServeEditor();
    if (engine.soundtrack.source == 0) return;
    const bool playing = IsPlaying(engine.soundtrack);
    if (!paused && loop && (!playing || Beat() >= loop->to)) {
        SeekTo(loop->from);
    } else if (!paused && !playing) {
        // Played out: the last frame stays, paused, rather than the program ending.
        paused = true;
        SeekTo(engine.soundtrack.tempo * LastFrameSeconds() / 60.0);
    }
    if (!watcher.Poll(now)) return;
    for (size_t i = 0; i < watcher.Count(); ++i) {
        if (!watcher.TakeChange(i)) continue;
        if (i == timelineFile)
            ReloadTimeline();
        else
            ReloadShader(watcher.Path(i));
    }
}

void AuthorSession::TogglePause() {
    paused = !paused;
    if (paused)
        Hold(engine.sync.frameSeconds);
    else
        Resume();
}

void AuthorSession::SeekTo(double beat) {
    if (!engine.demo || !engine.renderer || engine.soundtrack.source == 0) return;
    const double seconds = std::clamp(SecondsAt(beat), 0.0, LastFrameSeconds());
    Hold(static_cast<float>(seconds));
    stepper.Restart(*engine.demo, *engine.renderer);
    stepper.MoveTo(seconds, *engine.demo, *engine.renderer, engine.sync);
    if (!paused) Resume();
}

// Another loop (given on the command line, or left behind by a seek) gives way to the pattern
// playing now; only that pattern's own loop is ended.
void AuthorSession::ToggleLoop() {
    const double from = std::floor(Beat() / kPatternBeats) * kPatternBeats;
    const BeatLoop pattern{from, std::min(from + kPatternBeats, engine.soundtrack.tempo * musicSeconds / 60.0)};
    if (loop == pattern)
        loop.reset();
    else
        loop = pattern;
}

void AuthorSession::SetLoop(std::optional<BeatLoop> beats) { loop = beats; }

void AuthorSession::TogglePreview() {
    // Only the player's own renderer has the preview.
    auto* renderer = dynamic_cast<GLRenderer*>(engine.renderer.get());
    if (!renderer || !renderer->SetPreview(!preview)) return;
    preview = !preview;
    gLogger->Write(preview ? "Preview Quality." : "Full Quality.");
    RestartDemo();
}

double AuthorSession::Beat() const { return SoundtrackBeat(); }

// The same compiler as the build's; a timeline with a mistake leaves the tracks as they were.
void AuthorSession::ReloadTimeline() {
    const std::string& path = watcher.Path(*timelineFile);
    std::vector<TimelineTrack> tracks;
    std::string error;
    if (!ReadTimeline(path, path, tracks, error)) {
        gLogger->WritePair("ERROR: Timeline Not Reloaded, The Previous Tracks Stay: ", error.c_str());
        return;
    }
    ApplyTimeline(tracks, *engine.sync.device);
    gLogger->WritePair("Timeline Read: ", path.c_str());
    // The effect clocks' history follows the tracks, so it is replayed under the new ones.
    SeekTo(Beat());
}

// Every program that uses the file is built on the side first: only when all of them compile
// and link does the demo start again with them, so a mistake leaves the running programs alone.
void AuthorSession::ReloadShader(const std::string& path) {
    const std::vector<ShaderFiles> built = BuiltShaderFiles();
    bool used = false;
    for (const ShaderFiles& files : built) {
        if (!files.Uses(path)) continue;
        used = true;
        ShaderProgram trial;
        const bool sound = trial.Build(files.vertex.c_str(), files.fragment.c_str(),
                                       files.geometry.empty() ? nullptr : files.geometry.c_str());
        trial.Destroy();
        if (!sound) {
            gLogger->WritePair("ERROR: Shader Not Reloaded, The Previous Program Stays: ", path.c_str());
            return;
        }
    }
    if (!used) return;
    gLogger->WritePair("Shader Reloaded: ", path.c_str());
    RestartDemo();
}

// The effects take their programs, targets and samplers in Init, so they start again as at
// start-up (the random sequence included) and the bookkeeping is replayed to where we were.
void AuthorSession::RestartDemo() {
    const double beat = Beat();
    if (!engine.RestartDemo()) {
        gLogger->Error("The Demo Did Not Start Again; Quitting.");
        platform::PostQuitMessage(0);
        return;
    }
    SeekTo(beat);
}

// Still, the frames read the stepped clock, held where the picture stands, so that a paused
// frame is exactly the one the player running from the start shows there; the source waits at
// the same position.
void AuthorSession::Hold(float seconds) {
    const ALuint source = engine.soundtrack.source;
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) {
        alSourcePause(source);
    } else if (state != AL_PAUSED) {
        // Only a source that has played can be paused: a stopped one starts where it is to wait.
        alSourcef(source, AL_SEC_OFFSET, seconds);
        alSourcePlay(source);
        alSourcePause(source);
    }
    alSourcef(source, AL_SEC_OFFSET, seconds);
    stepper.Clock().Set(seconds);
    engine.sync.clock = &stepper.Clock();
}

// Playing, the frames follow the music again, from exactly where it waited.
void AuthorSession::Resume() {
    alSourcePlay(engine.soundtrack.source);
    engine.sync.clock = &engine.soundtrackClock;
    engine.soundtrackClock.Resync();
}

double AuthorSession::LastFrameSeconds() const {
    return std::max(stepper.FrameSeconds(stepper.FrameAtOrAfter(musicSeconds) - 1), 0.0);
}

double AuthorSession::SecondsAt(double beat) const { return beat * 60.0 / engine.soundtrack.tempo; }

void AuthorSession::UpdateTitle(float now, int frameRate) {
    if (now - lastTitleUpdate < kTitleInterval) return;
    lastTitleUpdate = now;
    const IEffect* effect = engine.demo ? engine.demo->shownEffect : nullptr;
    int length = std::snprintf(titleText, sizeof titleText, "QuarnEngine | beat %.2f | row %d | %s", Beat(),
                               gSync ? CurrentRow(*gSync) : 0, effect && effect->name ? effect->name : "Unknown Effect");
    const auto append = [&](const char* words) {
        if (length >= 0 && static_cast<size_t>(length) < sizeof titleText)
            length += std::snprintf(titleText + length, sizeof titleText - length, "%s", words);
    };
    char words[64];
    if (frameRate >= 0) {
        std::snprintf(words, sizeof words, " | %d fps", frameRate);
        append(words);
    }
    if (paused) append(" | paused");
    if (loop) {
        std::snprintf(words, sizeof words, " | loop %g-%g", loop->from, loop->to);
        append(words);
    }
    if (preview) append(" | preview");
    if (platform::MultiByteToWideChar(titleText, static_cast<int>(std::strlen(titleText)) + 1, title,
                                      static_cast<int>(std::size(title))) > 0)
        platform::SetWindowText(engine.window.window, title);
}
