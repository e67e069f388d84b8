#include "EngineDriver.h"

#include "Measurement.h"
#include "demo/TestDemo.h"
#include "render/GLRenderer.h"

#include <cmath>
#include <system_error>

double BufferSeconds(unsigned buffer) {
    ALint size = 0, channels = 0, bits = 0, frequency = 0;
    alGetBufferi(buffer, AL_SIZE, &size);
    alGetBufferi(buffer, AL_CHANNELS, &channels);
    alGetBufferi(buffer, AL_BITS, &bits);
    alGetBufferi(buffer, AL_FREQUENCY, &frequency);
    const double bytesPerSecond = static_cast<double>(channels) * (bits / 8) * frequency;
    return bytesPerSecond > 0.0 ? size / bytesPerSecond : 0.0;
}

bool EngineDriver::Start(const std::filesystem::path& runDirectory, std::string& error) {
    std::error_code failure;
    std::filesystem::current_path(runDirectory, failure);
    if (failure) {
        error = "cannot enter the run directory " + runDirectory.string() + ": " + failure.message();
        return false;
    }
    started = true;
    if (!engine.Init(platform::GetModuleHandle())) {
        error = "the engine did not start; see " + (runDirectory / "LogFile.txt").string();
        return false;
    }
    demo = dynamic_cast<TestDemo*>(engine.demo.get());
    renderer = dynamic_cast<GLRenderer*>(engine.renderer.get());
    if (!demo || !renderer) {
        error = "the engine runs another demo or renderer than the player's";
        return false;
    }
    if (engine.soundtrack.source == 0) {
        error = "no soundtrack; see " + (runDirectory / "LogFile.txt").string();
        return false;
    }
    alSourcePause(engine.soundtrack.source);
    soundtrackSeconds = BufferSeconds(engine.soundtrack.buffer);
    if (renderer->width != 1280.0f || renderer->height != 720.0f) {
        error = "the window is not 1280x720; run under scripts/headless.sh";
        return false;
    }
    return true;
}

void EngineDriver::Stop() {
    if (started) engine.Shutdown();
    started = false;
}

int64_t EngineDriver::FrameCount() const {
    return static_cast<int64_t>(std::ceil(soundtrackSeconds * kDriverFramesPerSecond));
}

bool EngineDriver::SkipTo(int64_t frame, std::string& error) {
    for (; nextFrame < frame; ++nextFrame) {
        if (!SetPosition(nextFrame, error)) return false;
        if (IEffect* effect = demo->PrepareFrame()) renderer->AdvanceFrame(*effect);
    }
    return true;
}

bool EngineDriver::DrawFrame(int64_t frame, FrameTiming& timing, std::string& error) {
    if (!SkipTo(frame, error) || !SetPosition(frame, error)) return false;
    ++nextFrame;
    glFinish();
    const double wall = WallMilliseconds();
    const double cpu = ThreadCpuMilliseconds();
    demo->Update();
    glFinish();
    timing.cpuMs = ThreadCpuMilliseconds() - cpu;
    timing.wallMs = WallMilliseconds() - wall;
    return true;
}

bool EngineDriver::SetPosition(int64_t frame, std::string& error) {
    if (!DispatchMessages(error)) return false;
    alGetError();
    alSourcef(engine.soundtrack.source, AL_SEC_OFFSET, static_cast<float>(frame) / kDriverFramesPerSecond);
    if (alGetError() != AL_NO_ERROR) {
        error = "cannot move the soundtrack to frame " + std::to_string(frame);
        return false;
    }
    return true;
}

bool EngineDriver::DispatchMessages(std::string& error) {
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
