#pragma once
// PNG stills at chosen soundtrack positions: what the player running at 60 frames per second
// from the start shows there.

#include "CaptureSession.h"

#include <filesystem>
#include <string>
#include <vector>

class StillCapture {
public:
    bool Start(const std::filesystem::path& runDirectory, float anisotropyCap, std::string& error) {
        return session.Start(runDirectory, anisotropyCap, error);
    }
    // `beats` ascending; one PNG each in `outDirectory`. Refuses the lot when one lies beyond the
    // end of the soundtrack, where the player has stopped.
    bool CaptureStills(const std::vector<double>& beats, const std::filesystem::path& outDirectory, std::string& error);
    // Also after a failed Start.
    void Stop() { session.Stop(); }

private:
    static constexpr int kFramesPerSecond = 60;

    bool CaptureStill(double beat, const std::filesystem::path& file, std::string& error);

    CaptureSession session{kFramesPerSecond};
};
