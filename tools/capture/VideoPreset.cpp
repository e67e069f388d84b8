#include "VideoPreset.h"

namespace {

// The video sites give higher resolutions far more bitrate; at 1080p, rendering at twice the size
// and averaging down keeps the thin lines and the text from shimmering.
const std::vector<VideoPreset> kPresets = {
    {"youtube-1080p60", VideoEncoding::kVideoSite, 1920, 1080, 60, 2, ".mp4", {"libx264", "aac"},
     "1920x1080, 60 fps, supersample 2; H.264 High, yuv420p, BT.709, closed GOP of 30, 2 B-frames,\n"
     "CRF 16; AAC-LC 48 kHz stereo 384 kb/s; MP4 with the index first"},
    {"youtube-2160p60", VideoEncoding::kVideoSite, 3840, 2160, 60, 1, ".mp4", {"libx264", "aac"},
     "3840x2160, 60 fps; H.264 High, yuv420p, BT.709, closed GOP of 30, 2 B-frames, CRF 16;\n"
     "AAC-LC 48 kHz stereo 384 kb/s; MP4 with the index first"},
    {"master", VideoEncoding::kMaster, 1280, 720, 60, 1, ".mkv", {"ffv1", "flac"},
     "1280x720, 60 fps; lossless: FFV1 on the RGB frames, FLAC; Matroska. For archiving,\n"
     "re-encoding, and for comparing frames (ffmpeg -f framemd5)"},
};

const VideoPreset kStandard = {"", VideoEncoding::kStandard, 1280, 720, 60, 1, ".mp4", {"libx264", "aac"}, ""};

}  // namespace

const VideoPreset& StandardPreset() {
    return kStandard;
}

const VideoPreset* FindPreset(std::string_view name) {
    for (const VideoPreset& preset : kPresets)
        if (name == preset.name) return &preset;
    return nullptr;
}

const std::vector<VideoPreset>& Presets() {
    return kPresets;
}
