#pragma once
// Named sets of video settings: what a video site recommends for uploads, and a lossless master.
// A capture without a preset keeps the tool's original encoding.

#include <string_view>
#include <vector>

enum class VideoEncoding {
    kStandard,   // H.264 CRF 16 and AAC 192 kb/s in MP4: the tool's original encoding
    kVideoSite,  // H.264 High, closed GOPs of half a second, AAC-LC 48 kHz 384 kb/s, index first
    kMaster,     // FFV1 on the RGB frames as they are, FLAC, in Matroska: lossless
};

struct VideoPreset {
    const char* name;
    VideoEncoding encoding;
    int width;
    int height;
    int framesPerSecond;
    int supersample;
    const char* extension;              // of the output file
    std::vector<const char*> encoders;  // the ffmpeg encoders it needs
    const char* summary;                // for --list-presets
};

const VideoPreset& StandardPreset();
// Null for an unknown name.
const VideoPreset* FindPreset(std::string_view name);
const std::vector<VideoPreset>& Presets();
