#include "StillCapture.h"

#include "CaptureOptions.h"
#include "WindowImage.h"
#include "demo/TestDemo.h"
#include "render/GLRenderer.h"

#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

constexpr int kFramesPerSecond = 60;
constexpr int kStillWidth = 1280;
constexpr int kStillHeight = 720;

double FrameSeconds(int64_t frame) {
    return static_cast<double>(frame) / kFramesPerSecond;
}

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

std::string Describe(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

}  // namespace

bool StillCapture::Start(const std::filesystem::path& runDirectory, std::string& error) {
    std::error_code failure;
    std::filesystem::current_path(runDirectory, failure);
    if (failure) {
        error = "cannot enter the run directory " + Describe(runDirectory) + ": " + failure.message();
        return false;
    }
    started = true;
    if (!engine.Init(platform::GetModuleHandle())) {
        error = "the engine did not start; its log is " + Describe(runDirectory / "LogFile.txt");
        return false;
    }
    demo = dynamic_cast<TestDemo*>(engine.demo.get());
    renderer = dynamic_cast<GLRenderer*>(engine.renderer.get());
    if (!demo || !renderer) {
        error = "the engine runs another demo or renderer than the player's";
        return false;
    }
    if (engine.soundtrack.source == 0) {
        error = "no soundtrack to take the positions from; its log is " + Describe(runDirectory / "LogFile.txt");
        return false;
    }
    // Init has started the music; from here on the clock moves only when a frame sets it.
    alSourcePause(engine.soundtrack.source);
    soundtrackSeconds = BufferSeconds(engine.soundtrack.buffer);
    if (renderer->width != kStillWidth || renderer->height != kStillHeight) {
        error = "the window is " + std::to_string(static_cast<int>(renderer->width)) + "x" +
                std::to_string(static_cast<int>(renderer->height)) +
                ", not 1280x720; run on a 1280x720 display (scripts/headless.sh gives one)";
        return false;
    }
    return true;
}

void StillCapture::Stop() {
    if (started) engine.Shutdown();
    started = false;
}

double StillCapture::SecondsAtBeat(double beat) const {
    return beat * 60.0 / engine.soundtrack.tempo;
}

bool StillCapture::CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory,
                                 std::string& error) {
    for (const double beat : beats) {
        // The player's last frame comes before the end; at the end it quits without drawing.
        if (SecondsAtBeat(beat) >= soundtrackSeconds) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "beat %.2f is beyond the end of the soundtrack (%.2f s, beat %.2f); nothing written",
                          beat, soundtrackSeconds, soundtrackSeconds * engine.soundtrack.tempo / 60.0);
            error = message;
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::create_directories(outDirectory, failure);
    if (failure) {
        error = "cannot make the output directory " + Describe(outDirectory) + ": " + failure.message();
        return false;
    }
    for (const double beat : beats)
        if (!CaptureStill(beat, outDirectory / StillFileName(beat), error)) return false;
    return true;
}

bool StillCapture::CaptureStill(double beat, const std::filesystem::path& file, std::string& error) {
    const auto begin = std::chrono::steady_clock::now();
    const double seconds = SecondsAtBeat(beat);
    for (; FrameSeconds(nextFrame) < seconds; ++nextFrame)
        if (!RunFrame(FrameSeconds(nextFrame), false, error)) return false;
    // A still that falls on one of the player's frames is that frame.
    if (FrameSeconds(nextFrame) == seconds) ++nextFrame;
    if (!RunFrame(seconds, true, error)) return false;

    ReadPresentedFrame(kStillWidth, kStillHeight, pixels);
    if (const GLenum glError = glGetError(); glError != GL_NO_ERROR)
        std::fprintf(stderr, "quarn-capture: GL error 0x%04X up to beat %.2f\n", glError, beat);
    if (!WritePng(file, kStillWidth, kStillHeight, pixels)) {
        error = "cannot write " + Describe(file);
        return false;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    std::printf("%s (%lld frames, %.1f s)\n", file.c_str(), static_cast<long long>(nextFrame), took.count());
    std::fflush(stdout);
    return true;
}

// One frame of the player with the clock at `seconds`: the demo picks its effect and moves the
// clocks; only a drawn frame renders and presents.
bool StillCapture::RunFrame(double seconds, bool draw, std::string& error) {
    if (!DispatchMessages(error)) return false;
    alGetError();
    alSourcef(engine.soundtrack.source, AL_SEC_OFFSET, static_cast<float>(seconds));
    if (alGetError() != AL_NO_ERROR) {
        error = "cannot move the soundtrack to " + std::to_string(seconds) + " s";
        return false;
    }
    if (draw)
        demo->Update();
    else if (IEffect* effect = demo->PrepareFrame())
        renderer->AdvanceFrame(*effect);
    return true;
}

// The window still gets its messages, as in the player's loop; a quit ends the capture.
bool StillCapture::DispatchMessages(std::string& error) {
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
