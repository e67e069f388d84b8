#include "engine/Engine.h"

#include "author/AuthorSession.h"
#include "demo/TestDemo.h"
#include "engine/FramePacing.h"
#include "log/EchoingLogger.h"
#include "log/FileLogger.h"
#include "log/StartupObserver.h"
#include "render/GLRenderer.h"
#include "render/ShaderSources.h"
#include "resources/ProgramIcon.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace {

constexpr float kFrameBudget = 16.67f;  // milliseconds
constexpr const char* kSyncBasePath = "./sync/";
constexpr float kTitleUpdateInterval = 1000.0f;
constexpr int kSampleCount = 4;

const char* DemoName(const IDemo& demo) {
    return demo.name ? demo.name : "Unknown Demo";
}

float Tick() {
    return static_cast<float>(platform::GetTickCount());
}

}  // namespace

Engine::Engine() = default;
Engine::~Engine() = default;

bool Engine::Init(platform::InstanceHandle /*instance*/) {
    StartupScope step(StartupEvent::kStep, "log file");
    // A logger whose file could not be made is not kept: nothing may be written later.
    auto fileLogger = logFile == platform::kInvalidFile
                          ? std::make_unique<FileLogger>()
                          : std::make_unique<FileLogger>(std::exchange(logFile, platform::kInvalidFile));
    if (!fileLogger->Open()) return false;
    logger = std::move(fileLogger);
    if (authorOptions.enabled) logger = std::make_unique<EchoingLogger>(std::move(logger));
    gLogger = logger.get();
    logger->WriteTimestamp();
    logger->Write("Logger Initialized.");

    step.Next("extensions");
    AppWindow temporaryWindow;
    CreateAppWindow(0, 0, temporaryWindow, this, false, false);
    if (!LoadExtensions(temporaryWindow)) {
        logger->Error("Failed to initialize extensions!");
        return false;
    }

    step.Next("window");
    CreateMainWindow();
    ApplyProgramIcon(window.window);
    UpdateWindowMetrics();

    step.Next("audio device");
    if (InitAudio(soundtrack, audioOutput))
        SetListener(0.0f, 0.0f, 0.0f);
    else
        logger->Error("Failed To Initialize OpenAL Context!");
    step.Next("soundtrack");
    LoadSoundtrack(soundtrack, kSoundtrackTempo);

    step.Next("sync device");
    frameBudget = kFrameBudget;
    gSync = &sync;
    CreateSyncDevice(sync, kSyncBasePath, &soundtrack);
    sync.clock = &soundtrackClock;
    logger->Write("Sync System Initialized.");

    step.Next("renderer");
    auto glRenderer = std::make_unique<GLRenderer>();
    glRenderer->anisotropyCap = anisotropyCap;
    glRenderer->previewAvailable = previewAvailable || authorOptions.enabled;
    glRenderer->letterbox = authorOptions.screen.mode != ScreenMode::kDisplayMode;
    // Author mode builds its programs from the sources it watches, not from the build's copies.
    SetShaderSourceDirectory(authorOptions.watchDirectory.empty()
                                 ? std::string()
                                 : (std::filesystem::path(authorOptions.watchDirectory) / "Shaders/").string());
    renderer = std::move(glRenderer);
    if (!renderer->Init(window.window, kSampleCount)) {
        logger->Error("Failed to initialize the renderer!");
        return false;
    }
    gRenderer = renderer.get();
    if (authorOptions.screen.mode != ScreenMode::kDisplayMode) LogPictureSize();
    logger->Write("Renderer Initialized.");
    logger->Write("Engine Initialized.");

    lastTitleUpdate = 0.0f;
    frameCount = 0;
    savedTitle.resize(static_cast<size_t>(platform::GetWindowTextLength(window.window)));
    platform::GetWindowText(window.window, savedTitle.data(), static_cast<int>(savedTitle.size()) + 1);
    showFrameRate = false;

    // The music starts only once every effect is ready to draw.
    step.Next("demo");
    if (!InitDemo()) return false;
    if (soundtrack.source != 0) alSourcePlay(soundtrack.source);
    if (authorOptions.enabled) StartAuthorMode();
    return true;
}

void Engine::StartAuthorMode() {
    author = std::make_unique<AuthorSession>(*this, authorOptions);
    showFrameRate = true;
    author->Start();
}

// The display may not offer 1280 x 720 at 32 bits; a window of that size is the next best thing.
// Author mode works in a window beside the editor, with the cursor. A window or the desktop
// asked for on the command line wins over both.
// Only where the window's size is not fixed: the player's own log stays as it always was.
void Engine::LogPictureSize() {
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d In A %dx%d Window", static_cast<int>(renderer->width),
                  static_cast<int>(renderer->height), clientWidth, clientHeight);
    logger->WritePair("Picture Size: ", text);
}

void Engine::CreateMainWindow() {
    const ScreenOptions& screen = authorOptions.screen;
    if (screen.mode == ScreenMode::kWindow) {
        CreateClientSizedWindow(screen.width, screen.height, window, this);
        return;
    }
    if (screen.mode == ScreenMode::kDesktop) {
        if (CreateDesktopWindow(window, this)) return;
        logger->Write("Desktop Size Unknown, Using A Window.");
        CreateClientSizedWindow(windowWidth, windowHeight, window, this);
        return;
    }
    if (authorOptions.enabled) {
        CreateAppWindow(windowWidth, windowHeight, window, this, true, false);
        return;
    }
    if (CreateAppWindow(windowWidth, windowHeight, window, this, true, true)) return;
    logger->Write("Full Screen Mode Unavailable, Using A Window.");
    CreateAppWindow(windowWidth, windowHeight, window, this, true, false);
}

void Engine::Frame() {
    const float t0 = Tick();
    if (author) author->BeforeFrame(t0);
    if (!IsPlaying(soundtrack) && !(author && author->Holds())) {
        platform::PostQuitMessage(0);
        return;
    }
    // Read once, so that every part of the frame draws the same moment of the music.
    ReadFrameClock(sync);
    const float t1 = Tick();
    demo->Update();
    const float t2 = Tick();

    ++frameCount;
    UpdateTitle();
    if (author) author->UpdateTitle(Tick(), showFrameRate ? framesLastSecond : -1);
    if (const auto sleep = FrameSleepMilliseconds(frameBudget, t0, t1, t2)) platform::Sleep(*sleep);
}

void Engine::UpdateTitle() {
    if (Tick() - lastTitleUpdate < kTitleUpdateInterval) return;
    // Author mode puts the frame rate into its own status title.
    if (showFrameRate && !author) {
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits - 1, frameCount).ptr;
        *end = '\0';
        char16_t title[12];
        if (platform::MultiByteToWideChar(digits, static_cast<int>(end - digits) + 1, title, 12) > 0)
            platform::SetWindowText(window.window, title);
    }
    lastTitleUpdate = Tick();
    framesLastSecond = frameCount;
    frameCount = 0;
}

void Engine::ToggleFrameRate() {
    if (showFrameRate) {
        platform::SetWindowText(window.window, savedTitle.c_str());
        showFrameRate = false;
    } else {
        showFrameRate = true;
    }
}

intptr_t Engine::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::WindowHandle window) {
    switch (message) {
    case platform::WM_SIZE:
        UpdateWindowMetrics();
        // Only a renderer whose Init succeeded has a context to resize.
        if (gRenderer) gRenderer->Resize(clientHeight, clientWidth);
        return 0;
    case platform::WM_MOVE: UpdateWindowMetrics(); return 0;
    case platform::WM_KEYDOWN:
        if (wParam == platform::VK_ESCAPE)
            platform::PostQuitMessage(0);
        else if (author)
            author->HandleKey(wParam);
        return 0;
    case platform::WM_CHAR:
        if (wParam == u'f') ToggleFrameRate();
        return 0;
    default: return platform::DefWindowProc(window, message, wParam, lParam);
    }
}

// Messages of the temporary window arrive before the real window exists; with nothing to
// measure, the recorded size stays as it is.
void Engine::UpdateWindowMetrics() {
    platform::Rect client;
    if (!platform::GetClientRect(window.window, client)) return;
    clientWidth = client.right - client.left;
    clientHeight = client.bottom - client.top;
}

// Also runs after a failed Init, so every step skips what start-up did not create.
void Engine::Shutdown() {
    Log("Engine Shutting Down.");
    author.reset();
    if (soundtrack.source != 0) alSourceStop(soundtrack.source);
    savedTitle = std::u16string();
    DestroySyncDevice(sync);
    ShutdownDemo();
    ReleaseSoundtrack(soundtrack);
    if (renderer) {
        Log("Renderer Shutting Down.");
        renderer->Shutdown();
    }
    if (logger) {
        logger->Write("Logger Shutting Down.");
        logger->WriteTimestamp();
        logger->Close();
    }
    // Nothing may reach the renderer or the logger through the globals once they are gone.
    if (gRenderer == renderer.get()) gRenderer = nullptr;
    renderer.reset();
    if (gLogger == logger.get()) gLogger = nullptr;
    logger.reset();
    if (window.window) platform::DestroyWindow(window.window);
}

bool Engine::InitDemo() {
    demo = std::make_unique<TestDemo>();
    logger->WritePair("Initializing Demo: ", DemoName(*demo));
    return demo->Init();
}

bool Engine::RestartDemo() {
    // The renderer must not keep pointing at a post processor that is about to go.
    if (renderer) renderer->postProcessor = nullptr;
    ShutdownDemo();
    return InitDemo();
}

void Engine::ShutdownDemo() {
    if (!demo) return;
    logger->WritePair("Shutting Down Demo: ", DemoName(*demo));
    demo->Shutdown();
    demo.reset();
}

void Engine::Log(const char* message) {
    if (logger) logger->Write(message);
}
