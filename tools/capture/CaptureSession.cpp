#include "CaptureSession.h"

#include "WindowImage.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
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

}  // namespace

std::string Quoted(const std::filesystem::path& path) {
    // Built in place: GCC 12 at -O3 takes the inlined copies of "\"" + text for overlapping ones.
    const std::string& text = path.native();
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

bool CaptureSession::Start(const std::filesystem::path& runDirectory, float anisotropyCap, std::string& error) {
    std::error_code failure;
    std::filesystem::current_path(runDirectory, failure);
    if (failure) {
        error = "cannot enter the run directory " + Quoted(runDirectory) + ": " + failure.message();
        return false;
    }
    started = true;
    engine.anisotropyCap = anisotropyCap;
    if (!engine.Init(platform::GetModuleHandle())) {
        error = "the engine did not start; its log is " + Quoted(runDirectory / "LogFile.txt");
        return false;
    }
    if (engine.soundtrack.source == 0) {
        error = "no soundtrack to take the positions from; its log is " + Quoted(runDirectory / "LogFile.txt");
        return false;
    }
    // Init has started the music; the frames follow the session's clock instead, unheard.
    alSourcePause(engine.soundtrack.source);
    engine.sync.clock = &clock;
    soundtrackSeconds = BufferSeconds(engine.soundtrack.buffer);
    const IRenderer& renderer = *engine.renderer;
    if (renderer.width != kWidth || renderer.height != kHeight) {
        error = "the window is " + std::to_string(static_cast<int>(renderer.width)) + "x" +
                std::to_string(static_cast<int>(renderer.height)) +
                ", not 1280x720; run on a 1280x720 display (scripts/headless.sh gives one)";
        return false;
    }
    return true;
}

void CaptureSession::Stop() {
    if (started) engine.Shutdown();
    started = false;
}

double CaptureSession::FrameSeconds(int64_t frame) const {
    return static_cast<double>(frame) / framesPerSecond;
}

int64_t CaptureSession::FrameAtOrAfter(double seconds) const {
    // A position given in beats lands on a frame only up to rounding; it still counts as that frame.
    return static_cast<int64_t>(std::ceil(seconds * framesPerSecond - 1e-6));
}

double CaptureSession::SecondsAtBeat(double beat) const {
    return beat * 60.0 / engine.soundtrack.tempo;
}

double CaptureSession::BeatAtSeconds(double seconds) const {
    return seconds * engine.soundtrack.tempo / 60.0;
}

bool CaptureSession::MoveTo(double seconds, std::string& error) {
    for (; FrameSeconds(nextFrame) < seconds; ++nextFrame) {
        if (!StartFrame(FrameSeconds(nextFrame), error)) return false;
        RunUndrawnFrame();
    }
    if (FrameSeconds(nextFrame) == seconds) ++nextFrame;
    return StartFrame(seconds, error);
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
    ReadPresentedFrame(kWidth, kHeight, pixels);
    if (const GLenum glError = glGetError(); glError != GL_NO_ERROR)
        std::fprintf(stderr, "\nquarn-capture: GL error 0x%04X up to %.3f s\n", glError, clockSeconds);
    return pixels;
}

// The demo picks its effect and moves the clocks as for a drawn frame, but nothing renders.
void CaptureSession::RunUndrawnFrame() {
    if (IEffect* effect = engine.demo->PrepareFrame()) engine.renderer->AdvanceFrame(*effect);
}

// Each frame starts as in the player's loop, with the window's messages, then one reading of
// the clock, here stepped to the frame's position.
bool CaptureSession::StartFrame(double seconds, std::string& error) {
    if (!DispatchMessages(error)) return false;
    clock.Set(static_cast<float>(seconds));
    ReadFrameClock(engine.sync);
    clockSeconds = seconds;
    return true;
}

// The window keeps getting its messages while the frames run; a quit ends the run.
bool CaptureSession::DispatchMessages(std::string& error) {
    platform::Message message;
    while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
        if (message.message == platform::WM_QUIT) {
            error = "the window was closed";
            return false;
        }
    }
    return true;
}
