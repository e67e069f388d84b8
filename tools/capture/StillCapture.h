#pragma once
// PNG stills at chosen soundtrack positions: what the player running at 60 frames per second
// from the start shows there. One file each, or all of them in one contact sheet.

#include "CaptureOptions.h"
#include "CaptureSession.h"
#include "StillProgress.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

class StillCapture {
public:
    explicit StillCapture(const FrameSettings& frame) : session(kFramesPerSecond, frame) {
        session.ObserveProgress([this](const CaptureProgress& done) { progress.Update(done); });
    }

    // Makes the stills' folder, where the engine's log goes, and says where that is.
    bool Start(const CaptureOptions& options, std::string& error);
    // `beats` ascending; one PNG each in `outDirectory`. Refuses the lot when one lies beyond the
    // end of the soundtrack, where the player has stopped.
    bool CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory, std::string& error);
    // A still every options.everyBeats from options.fromBeat (or the start) up to options.toBeat
    // (or the end), shrunk into one contact sheet at options.sheetFile.
    bool CaptureSheet(const CaptureOptions& options, std::string& error);
    // Also after a failed Start.
    void Stop() { session.Stop(); }

private:
    static constexpr int kFramesPerSecond = 60;
    // Enough for the whole demo at one a beat; bounds the sheet's memory (about 110 kB a still).
    static constexpr size_t kMostSheetStills = 1000;

    bool WithinSoundtrack(const std::vector<double>& beats, std::string& error) const;
    bool SheetBeats(const CaptureOptions& options, std::vector<double>& beats, std::string& error) const;
    bool CaptureStill(double beat, const std::filesystem::path& file, std::string& error);
    // Says on stdout which still is done and how long it took since `begin`.
    void ReportStill(const std::string& what, std::chrono::steady_clock::time_point begin) const;

    CaptureSession session;
    StillProgress progress{stderr};
};
