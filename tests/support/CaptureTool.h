#pragma once
// quarn-capture and its companions (ffmpeg, ffprobe) run as processes in a run directory, and the
// PNG stills they leave behind read back.

#include "support/EngineRunDirectory.h"

#include <stb_image.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct ToolRun {
    ProcessResult process;
    std::string output;  // stdout
    std::string errors;  // stderr
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs `executable` in the run directory with its output and errors caught in files there.
ToolRun RunTool(const EngineRunDirectory& run, const std::string& executable, const std::vector<std::string>& arguments,
                Environment environment = {});
// The built quarn-capture, told to use the run directory.
ToolRun RunCapture(const EngineRunDirectory& run, std::vector<std::string> arguments, Environment environment = {});
// Started, exited by itself and with status 0.
void ExpectSucceeded(const ToolRun& tool);

std::string ReadBytes(const std::filesystem::path& file);

// A claim as the capture writes it (tools/capture/ClaimOwner.h), of process `pid` of this host
// whose start it does not know.
void WriteClaim(const std::filesystem::path& file, long pid);

// ffprobe's `entries` of each stream of `file` (in the run directory), one map a stream, with
// `options` (such as "-count_frames") ahead of them.
using StreamFields = std::map<std::string, std::string>;
std::vector<StreamFields> ProbeStreams(const EngineRunDirectory& run, const std::string& file, const std::string& entries,
                                       std::vector<std::string> options = {});

// "./Audio/tovik.ogg" as a link to the soundtrack the content pipeline built, the whole piece;
// false when the build made none.
bool LinkBuiltSoundtrack(const EngineRunDirectory& run);

// An RGB picture, top row first.
struct Image {
    int width = 0, height = 0;
    std::unique_ptr<uint8_t, decltype(&stbi_image_free)> pixels{nullptr, stbi_image_free};

    // Red, green and blue of one pixel.
    std::array<uint8_t, 3> Pixel(int x, int y) const;
    // Mean red, green and blue over the square of side 2 * half around (x, y).
    std::array<double, 3> Mean(int x, int y, int half) const;
};

double Brightness(const std::array<double, 3>& rgb);

// Empty (no pixels) when the file is missing or not a picture.
Image LoadPng(const std::filesystem::path& file);

// Mean absolute difference per channel, 0 to 255; -1 when the pictures cannot be compared.
double MeanDifference(const Image& a, const Image& b);
