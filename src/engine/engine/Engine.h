#pragma once
// The application object: owns every long-lived object, decides the start-up and shut-down
// order, paces the frames and reacts to the keyboard and the window.

#include "audio/Soundtrack.h"
#include "audio/SoundtrackClock.h"
#include "author/AuthorOptions.h"
#include "demo/IDemo.h"
#include "engine/AppWindow.h"
#include "log/ILogger.h"
#include "platform/Platform.h"
#include "render/IRenderer.h"
#include "sync/Sync.h"

#include <cstdint>
#include <memory>
#include <string>

class AuthorSession;

class Engine {
public:
    Engine();
    ~Engine();

    bool Init(platform::InstanceHandle instance);
    void Frame();
    intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::WindowHandle window);
    void UpdateWindowMetrics();
    void Shutdown();
    // Shuts the demo down and starts it again, as at start-up (author mode, after an edit).
    bool RestartDemo();

    std::unique_ptr<IRenderer> renderer;
    int32_t clientHeight = 0;
    int32_t clientWidth = 0;
    std::unique_ptr<ILogger> logger;
    Soundtrack soundtrack;
    AppWindow window;
    float frameBudget = 0.0f;  // milliseconds
    SyncContext sync;
    int32_t frameCount = 0;
    float lastTitleUpdate = 0.0f;  // tick milliseconds
    std::u16string savedTitle;
    bool showFrameRate = false;
    std::unique_ptr<IDemo> demo;
    // The frame clock the sync context reads at the start of every frame.
    SoundtrackClock soundtrackClock{soundtrack};
    // For the capture tool, set before Init: the renderer's anisotropy cap (0: the driver's maximum).
    float anisotropyCap = 0.0f;
    // For the capture tool, set before Init: the window's client size, which the frames are drawn at.
    int32_t windowWidth = 1280;
    int32_t windowHeight = 720;
    // For the capture tool, set before Init: the log goes to this open file, which Init takes over,
    // instead of the player's ./LogFile.txt.
    platform::FileHandle logFile = platform::kInvalidFile;
    // For the capture tool, set before Init: kNone opens no sound device.
    AudioOutput audioOutput = AudioOutput::kDevice;
    // Set before Init to have the renderer's preview quality available (author mode has it).
    bool previewAvailable = false;
    // Set before Init; author mode when enabled, the player as it always was otherwise.
    AuthorOptions authorOptions;
    std::unique_ptr<AuthorSession> author;
    int32_t framesLastSecond = 0;  // the frame count at the last title update

private:
    void CreateMainWindow();
    void LogPictureSize();
    void StartAuthorMode();
    void UpdateTitle();
    void ToggleFrameRate();
    bool InitDemo();
    void ShutdownDemo();
    void Log(const char* message);
};
