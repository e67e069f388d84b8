#pragma once
// A video drawn in segments by several processes of this tool at once, then joined without
// encoding again, with the sound laid once over the whole. The work lives in FILE.parts/ until the
// video is complete, so that a run after a failure, a full disk or Ctrl-C draws only what is
// missing. One capture at a time may work in a FILE.parts/.

#include "CaptureOptions.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class SegmentedCapture {
public:
    explicit SegmentedCapture(const CaptureOptions& options);

    // Says why in `error` when there is no video; finished segments are then kept.
    bool Run(std::string& error);

private:
    struct Segment {
        int64_t firstFrame = 0;
        int64_t endFrame = 0;
        std::filesystem::path video;
        bool done = false;
    };

    bool Plan(std::string& error);
    bool DrawMissing(std::string& error);
    bool Join(const std::filesystem::path& ffmpeg, std::string& error) const;
    std::vector<std::string> SegmentArguments(const Segment& segment, int slot) const;

    const CaptureOptions& options;
    const std::filesystem::path parts;
    std::vector<Segment> segments;
    int64_t firstFrame = 0;
    int64_t endFrame = 0;
    double firstSeconds = 0.0;
};
