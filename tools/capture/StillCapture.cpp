#include "StillCapture.h"

#include "ContactSheet.h"
#include "WindowImage.h"
#include "io/FilePaths.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace {

std::string BeatText(double beat) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", beat);
    return text;
}

}  // namespace

bool StillCapture::Start(const CaptureOptions& options, std::string& error) {
    if (options.sheetFile.empty()) {
        std::error_code failure;
        std::filesystem::create_directories(options.outDirectory, failure);
        if (failure) {
            error = "cannot make the output directory " + Quoted(options.outDirectory) + ": " + failure.message();
            return false;
        }
    }
    const std::filesystem::path log = EngineLogFile(options);
    std::printf("the engine's log: %s\n", Utf8Text(log).c_str());
    std::fflush(stdout);
    return session.Start(options.runDirectory, options.anisotropyCap, log, error);
}

bool StillCapture::CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory,
                                 std::string& error) {
    if (!WithinSoundtrack(beats, error)) return false;
    for (const double beat : beats)
        if (!CaptureStill(beat, outDirectory / StillFileName(beat), error)) return false;
    return true;
}

bool StillCapture::CaptureSheet(const CaptureOptions& options, std::string& error) {
    std::vector<double> beats;
    if (!SheetBeats(options, beats, error)) return false;
    ContactSheet sheet(static_cast<int>(beats.size()), CaptureSession::kWidth, CaptureSession::kHeight);
    for (size_t i = 0; i < beats.size(); ++i) {
        const auto begin = std::chrono::steady_clock::now();
        progress.Begin("beat " + BeatText(beats[i]));
        const std::vector<uint8_t>* frame = session.CaptureFrame(session.SecondsAtBeat(beats[i]), error);
        progress.End();
        if (!frame) return false;
        sheet.Place(static_cast<int>(i), *frame, beats[i]);
        ReportStill("beat " + BeatText(beats[i]) + " (" + std::to_string(i + 1) + " of " +
                        std::to_string(beats.size()) + ")",
                    begin);
    }
    if (!sheet.Write(options.sheetFile)) {
        error = "cannot write " + Quoted(options.sheetFile);
        return false;
    }
    std::printf("%s (%zu stills, %dx%d)\n", options.sheetFile.string().c_str(), beats.size(), sheet.Width(), sheet.Height());
    return true;
}

bool StillCapture::WithinSoundtrack(const std::vector<double>& beats, std::string& error) const {
    const double endSeconds = session.SoundtrackSeconds();
    for (const double beat : beats) {
        if (session.SecondsAtBeat(beat) >= endSeconds) {
            error = "beat " + BeatText(beat) + " is beyond the end of the soundtrack (" + BeatText(endSeconds) +
                    " s, beat " + BeatText(session.BeatAtSeconds(endSeconds)) + "); nothing written";
            return false;
        }
    }
    return true;
}

// Every step from the start of the stretch while the player is still playing, each to the
// hundredth as --at takes it.
bool StillCapture::SheetBeats(const CaptureOptions& options, std::vector<double>& beats, std::string& error) const {
    const double from = options.fromBeat.value_or(0.0);
    const double to = options.toBeat.value_or(std::numeric_limits<double>::infinity());
    const double endSeconds = session.SoundtrackSeconds();
    for (double step = 0.0;; ++step) {
        const double beat = std::round((from + step * options.everyBeats) * 100.0) / 100.0;
        if (beat > to || session.SecondsAtBeat(beat) >= endSeconds) break;
        if (beats.size() == kMostSheetStills) {
            error = "a sheet holds at most " + std::to_string(kMostSheetStills) +
                    " stills; take them further apart with --every, or narrow --from and --to";
            return false;
        }
        beats.push_back(beat);
    }
    if (!beats.empty()) return true;
    error = "no still to take: the soundtrack ends at beat " + BeatText(session.BeatAtSeconds(endSeconds)) +
            ", and --from is beat " + BeatText(from);
    return false;
}

bool StillCapture::CaptureStill(double beat, const std::filesystem::path& file, std::string& error) {
    const auto begin = std::chrono::steady_clock::now();
    progress.Begin("beat " + BeatText(beat));
    const std::vector<uint8_t>* frame = session.CaptureFrame(session.SecondsAtBeat(beat), error);
    progress.End();
    if (!frame) return false;
    if (!WritePng(file, session.Frame().width, session.Frame().height, *frame)) {
        error = "cannot write " + Quoted(file);
        return false;
    }
    ReportStill(file.string(), begin);
    return true;
}

void StillCapture::ReportStill(const std::string& what, std::chrono::steady_clock::time_point begin) const {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    std::printf("%s (%lld frames, %.1f s)\n", what.c_str(), static_cast<long long>(session.FramesRun()), took.count());
    std::fflush(stdout);
}
