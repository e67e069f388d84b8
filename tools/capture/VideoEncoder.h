#pragma once
// ffmpeg as a child process: raw RGB frames in through a pipe, a video file out with a stretch
// of an audio file as its sound, encoded as a preset says.

#include "VideoPreset.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct VideoStream {
    int width = 0;
    int height = 0;
    int framesPerSecond = 0;
    std::filesystem::path audioFile;  // none: a picture only
    double audioStart = 0.0;  // seconds into audioFile of the first frame
    double seconds = 0.0;     // of picture and of sound
    std::filesystem::path outFile;
    VideoEncoding encoding = VideoEncoding::kStandard;
    // Set to join finished segments (an ffmpeg concat list) instead of taking raw frames.
    std::filesystem::path joinList;
};

class VideoEncoder {
public:
    VideoEncoder() = default;
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;
    ~VideoEncoder() { Abort(); }

    // The ffmpeg found on PATH.
    static std::optional<std::filesystem::path> Find();
    // False, naming the first one missing, unless `ffmpeg` has every encoder in `names`.
    static bool HasEncoders(const std::filesystem::path& ffmpeg, const std::vector<const char*>& names,
                            std::string& error);

    // ffmpeg's words for the picture and for the sound of an encoding, as a plan records them.
    static std::string VideoSettings(VideoEncoding encoding, int framesPerSecond);
    static std::string AudioSettings(VideoEncoding encoding);

    bool Start(const std::filesystem::path& ffmpeg, const VideoStream& stream, std::string& error);
    // One frame, bottom row first as GL reads it.
    bool WriteFrame(const std::vector<uint8_t>& rgb, std::string& error);
    // Ends the input and waits for ffmpeg to write the file; true when it says it did.
    bool Finish(std::string& error);
    // Stops ffmpeg at once; whatever it wrote is left for the caller to remove.
    void Abort();
    // ffmpeg's peak resident memory, once it has ended.
    long PeakKilobytes() const { return peakKilobytes; }

private:
    void SamplePeak();
    bool ReapWatching(int& status);

    long peakKilobytes = 0;
    pid_t child = -1;
    int input = -1;  // the write end of ffmpeg's standard input
};
