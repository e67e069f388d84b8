#include "CaptureSession.h"

#include "WindowImage.h"
#include "render/GLRenderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace {

// The length of what the source plays, from the buffer OpenAL holds.
double BufferSeconds(ALuint buffer) {
    ALint size = 0, channels = 0, bits = 0, frequency = 0;
    alGetBufferi(buffer, AL_SIZE, &size);
    alGetBufferi(buffer, AL_CHANNELS, &channels);
    alGetBufferi(buffer, AL_BITS, &bits);
    alGetBufferi(buffer, AL_FREQUENCY, &frequency);
    const double bytesPerSecond = static_cast<double>(channels) * (bits / 8) * frequency;
    return bytesPerSecond > 0.0 ? size / bytesPerSecond : 0.0;
}

// The first error the engine logged, in its own words; empty when it logged none. The log is
// UTF-16LE, its errors ASCII: the low bytes are the text.
std::string FirstLoggedError(const std::filesystem::path& log) {
    constexpr std::streamsize kMostRead = 1 << 20;
    std::ifstream in(log, std::ios::binary);
    std::string bytes(static_cast<size_t>(kMostRead), '\0');
    in.read(bytes.data(), kMostRead);
    std::string text;
    for (std::streamsize i = 0; i + 1 < in.gcount(); i += 2)
        if (bytes[static_cast<size_t>(i) + 1] == '\0') text.push_back(bytes[static_cast<size_t>(i)]);
    const size_t start = text.find("ERROR: ");
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

// Made afresh rather than truncated: whatever lay under the name (an earlier run's log, a link,
// another user's file) is never written through.
platform::FileHandle CreateOwnLog(const std::filesystem::path& log, std::string& error) {
    const platform::FileHandle file = platform::CreateFreshFile(log.string().c_str());
    if (file == platform::kInvalidFile)
        error = "cannot write the capture's log " + Quoted(log) + ": " + std::strerror(errno);
    return file;
}

}  // namespace

std::string Quoted(const std::filesystem::path& path) {
    // Built in place: GCC 12 at -O3 takes the inlined copies of "\"" + text for overlapping ones.
    const std::string text = path.string();
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

CaptureSession::CaptureSession(int framesPerSecond, const FrameSettings& frame)
    : framesPerSecond(framesPerSecond),
      frame(frame),
      composer(frame),
      stepper(framesPerSecond, [this] { return DispatchMessages(); }),
      times(0.0, kSoundtrackTempo, framesPerSecond) {}

bool CaptureSession::Start(const std::filesystem::path& runDirectory, float anisotropyCap,
                           const std::filesystem::path& log, std::string& error) {
    std::error_code failure;
    std::filesystem::current_path(runDirectory, failure);
    if (failure) {
        error = "cannot enter the run directory " + Quoted(runDirectory) + ": " + failure.message();
        return false;
    }
    engine.logFile = CreateOwnLog(log, error);
    if (engine.logFile == platform::kInvalidFile) return false;
    started = true;
    engine.anisotropyCap = anisotropyCap;
    engine.audioOutput = AudioOutput::kNone;
    engine.windowWidth = frame.RenderWidth();
    engine.windowHeight = frame.RenderHeight();
    if (!engine.Init(platform::GetModuleHandle())) {
        const std::string logged = FirstLoggedError(log);
        error = "the engine did not start at " + std::to_string(frame.RenderWidth()) + "x" +
                std::to_string(frame.RenderHeight()) + (logged.empty() ? "" : " (\"" + logged + "\")") +
                "; its log is " + Quoted(log);
        return false;
    }
    if (!engine.soundtrack.device) {
        error = "OpenAL gave no loopback device (ALC_SOFT_loopback) to hold the soundtrack; its log is " +
                Quoted(log);
        return false;
    }
    if (engine.soundtrack.source == 0) {
        error = "no soundtrack to take the positions from; its log is " + Quoted(log);
        return false;
    }
    // Init has started the music; the frames follow the session's clock instead, unheard.
    alSourcePause(engine.soundtrack.source);
    engine.sync.clock = &stepper.Clock();
    times = SoundtrackTimes(BufferSeconds(engine.soundtrack.buffer), engine.soundtrack.tempo, framesPerSecond);
    if (!WithinLimits(error)) return false;
    const IRenderer& renderer = *engine.renderer;
    if (renderer.width != frame.RenderWidth() || renderer.height != frame.RenderHeight()) {
        error = "the window is " + std::to_string(static_cast<int>(renderer.width)) + "x" +
                std::to_string(static_cast<int>(renderer.height)) + ", not " + std::to_string(frame.RenderWidth()) +
                "x" + std::to_string(frame.RenderHeight()) +
                "; the window system would not make it that size (--headless draws at any size)";
        return false;
    }
    if (engine.previewAvailable && !StartPreview()) {
        error = "the preview quality did not start; its log is " + Quoted(log);
        return false;
    }
    return true;
}

// Sizes the driver cannot draw at are refused before any frame, rather than drawn wrong.
bool CaptureSession::WithinLimits(std::string& error) const {
    GLint viewport[2] = {0, 0};
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    const int widest = std::min(viewport[0], renderbuffer);
    const int highest = std::min(viewport[1], renderbuffer);
    if (frame.RenderWidth() <= widest && frame.RenderHeight() <= highest) return true;
    error = "cannot render at " + std::to_string(frame.RenderWidth()) + "x" + std::to_string(frame.RenderHeight()) +
            ": this GL draws at most " + std::to_string(widest) + "x" + std::to_string(highest) +
            " (GL_MAX_VIEWPORT_DIMS, GL_MAX_RENDERBUFFER_SIZE)";
    return false;
}

// The effects take their targets' size and their samplers' anisotropy at Init, so the demo
// starts again after the switch, as author mode does.
bool CaptureSession::StartPreview() {
    auto* renderer = dynamic_cast<GLRenderer*>(engine.renderer.get());
    return renderer && renderer->SetPreview(true) && engine.RestartDemo();
}

void CaptureSession::Stop() {
    if (started) engine.Shutdown();
    started = false;
}

bool CaptureSession::MoveTo(double seconds, std::string& error) {
    progress.framesToRun = times.FrameAtOrAfter(seconds);
    if (!stepper.MoveTo(seconds, *engine.demo, *engine.renderer, engine.sync)) {
        error = stepError;
        return false;
    }
    clockSeconds = seconds;
    return true;
}

void CaptureSession::DrawFrame() {
    engine.demo->Update();
}

bool CaptureSession::DrawFrameAt(double seconds, std::string& error) {
    if (!MoveTo(seconds, error)) return false;
    DrawFrame();
    return true;
}

const std::vector<uint8_t>& CaptureSession::ReadFrame() {
    ReadPresentedFrame(frame.RenderWidth(), frame.RenderHeight(), pixels);
    if (const GLenum glError = glGetError(); glError != GL_NO_ERROR)
        std::fprintf(stderr, "\nquarn-capture: GL error 0x%04X up to %.3f s\n", glError, clockSeconds);
    return pixels;
}

// The shutter opens at the frame's own position, so that one render is the plain frame.
const std::vector<uint8_t>* CaptureSession::CaptureFrame(double seconds, std::string& error) {
    progress.rendersDone = 0;
    progress.renders = frame.motionBlur;
    if (frame.Plain()) return DrawFrameAt(seconds, error) ? &Rendered(ReadFrame()) : nullptr;
    const double open = frame.shutterDegrees / 360.0 / framesPerSecond;
    composer.Begin();
    for (int i = 0; i < frame.motionBlur; ++i) {
        if (!DrawFrameAt(seconds + open * i / frame.motionBlur, error)) return nullptr;
        composer.Add(Rendered(ReadFrame()));
    }
    return &composer.Resolve();
}

const std::vector<uint8_t>& CaptureSession::Rendered(const std::vector<uint8_t>& pixels) {
    ++progress.rendersDone;
    if (progressObserver) progressObserver(progress);
    return pixels;
}

// The window keeps getting its messages while the frames run; a quit ends the run.
bool CaptureSession::DispatchMessages() {
    if (stopRequested && stopRequested()) {
        stepError = "interrupted";
        return false;
    }
    progress.framesRun = stepper.FramesRun();
    if (progressObserver) progressObserver(progress);
    platform::Message message;
    while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
        if (message.message == platform::WM_QUIT) {
            stepError = "the window was closed";
            return false;
        }
    }
    return true;
}
