#pragma once
// A video of the demo, or of a stretch of it: every frame of the player at a fixed rate, with
// the matching stretch of the soundtrack, written to its file only once complete, and the list
// of its frames' hashes beside it.

#include "CaptureOptions.h"
#include "CaptureSession.h"
#include "FrameList.h"
#include "ProgressReport.h"

#include <cstdint>
#include <optional>
#include <string>

// With --headless or --gpu, or with no display to draw on, the engine draws off screen through
// EGL. False with `error` set where this build cannot.
bool ChooseDrawing(const CaptureOptions& options, std::string& error);

// Every device of --gpu, before anything is drawn on any: one that is missing or does not start is
// refused with EGL's reason, rather than failing in a segment's process with only its log saying why.
bool CheckGpus(const CaptureOptions& options, std::string& error);

struct Stretch {
    int64_t firstFrame = 0;
    int64_t endFrame = 0;  // one past the last
};

// The frames the options ask for on the soundtrack. False, saying why, for none.
bool ChooseStretch(const SoundtrackTimes& soundtrack, const CaptureOptions& options, Stretch& stretch,
                   std::string& error);

class VideoCapture {
public:
    explicit VideoCapture(const CaptureOptions& options)
        : options(options), session(options.framesPerSecond, options.frame) {}

    // Says why in `error` when there is no video; nothing is then left under the file's name.
    bool Run(std::string& error);

private:
    void Announce(const Stretch& stretch) const;
    bool Capture(const std::filesystem::path& ffmpeg, const std::filesystem::path& partFile, std::string& error);
    bool EncodeFrames(const Stretch& stretch, const std::filesystem::path& ffmpeg,
                      const std::filesystem::path& partFile, std::string& error);

    const CaptureOptions& options;
    CaptureSession session;
    std::optional<FrameList> frameList;  // made once the frame count is known
    std::optional<ProgressReport> report;  // a segment's, to the capture that started it
    int64_t framesEncoded = 0;
    long ffmpegPeakKilobytes = 0;
    double framesSeconds = 0.0;  // from the first frame's drawing to the finished file
};
