#pragma once
// The command line of quarn-capture.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct CaptureOptions {
    std::vector<double> beats;  // ascending, each once, in hundredths of a beat
    std::filesystem::path outDirectory;
    std::filesystem::path runDirectory;  // where the player's data lies; the tool's own directory
    bool help = false;
};

// Null with `error` set when the arguments make no sense.
std::optional<CaptureOptions> ParseCaptureOptions(int argc, const char* const* argv, std::string& error);
const char* CaptureUsage();
// "beat-0100.00.png": the beat to the hundredth, the precision at which stills are taken.
std::string StillFileName(double beat);
