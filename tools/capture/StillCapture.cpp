#include "StillCapture.h"

#include "CaptureOptions.h"
#include "WindowImage.h"

#include <chrono>
#include <cstdio>
#include <system_error>

bool StillCapture::CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory,
                                 std::string& error) {
    const double endSeconds = session.SoundtrackSeconds();
    for (const double beat : beats) {
        if (session.SecondsAtBeat(beat) >= endSeconds) {
            char message[160];
            std::snprintf(message, sizeof message,
                          "beat %.2f is beyond the end of the soundtrack (%.2f s, beat %.2f); nothing written",
                          beat, endSeconds, session.BeatAtSeconds(endSeconds));
            error = message;
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::create_directories(outDirectory, failure);
    if (failure) {
        error = "cannot make the output directory " + Quoted(outDirectory) + ": " + failure.message();
        return false;
    }
    for (const double beat : beats)
        if (!CaptureStill(beat, outDirectory / StillFileName(beat), error)) return false;
    return true;
}

bool StillCapture::CaptureStill(double beat, const std::filesystem::path& file, std::string& error) {
    const auto begin = std::chrono::steady_clock::now();
    if (!session.DrawFrameAt(session.SecondsAtBeat(beat), error)) return false;
    if (!WritePng(file, CaptureSession::kWidth, CaptureSession::kHeight, session.ReadFrame())) {
        error = "cannot write " + Quoted(file);
        return false;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    std::printf("%s (%lld frames, %.1f s)\n", file.c_str(), static_cast<long long>(session.FramesRun()), took.count());
    std::fflush(stdout);
    return true;
}
