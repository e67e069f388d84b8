#pragma once
// What a video drawn in segments is made of, kept as "plan" in its parts folder: every setting that
// changes a frame or its encoding, a fingerprint of the run directory's data, the stretch of frames
// and how it is cut into segments. Whoever draws a segment or joins them reads it back: a segment
// already drawn belongs to the video only when the plan it was drawn under makes the same frames.

#include "CaptureOptions.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PlannedSegment {
    int64_t firstFrame = 0;
    int64_t endFrame = 0;  // one past the last

    bool operator==(const PlannedSegment&) const = default;
};

// "0,2,5" with ',' as `separator`: segments by their indices in a plan.
std::string SegmentIndexList(const std::vector<size_t>& indices, char separator);

class CapturePlan {
public:
    static constexpr const char* kFileName = "plan";

    // The settings `options` give and the fingerprint of their run directory's data; the frames
    // are set with Cut once the soundtrack's length is known. Says on stdout when the fingerprint
    // leaves entries out.
    static std::optional<CapturePlan> FromOptions(const CaptureOptions& options, std::string& error);
    // As FromOptions, cut on the frames the options ask for (--from, --to, --segment) on the
    // soundtrack, --jobs segments of them.
    static std::optional<CapturePlan> ForCapture(const CaptureOptions& options, std::string& error);
    // Reads `parts`/plan; null with `error` empty when there is none, set when it is damaged.
    static std::optional<CapturePlan> Read(const std::filesystem::path& parts, std::string& error);
    static std::optional<CapturePlan> Parse(std::string_view text, std::string& error);

    // The frames first to end - 1, at multiples of half a second (the video-site GOPs' length,
    // so that every segment starts on a key frame of the whole) and about one segment a job.
    void Cut(int64_t first, int64_t end, int jobs);
    std::string Text() const;
    // Atomically, so that a killed run leaves the old plan or the new one.
    bool Write(const std::filesystem::path& parts, std::string& error) const;
    // The settings, data and frames that differ from `earlier`'s, one phrase each ("size 320x180,
    // was 160x90"); empty when the frames are the same. The cut is compared segment by segment:
    // another number of jobs cuts the same frames otherwise, and a segment drawn under the earlier
    // plan is still the same segment when the cut has it too.
    std::vector<std::string> Differences(const CapturePlan& earlier) const;
    // The same, as one text: "size 320x180, was 160x90; fps 30, was 60".
    std::string DifferenceText(const CapturePlan& earlier) const;
    bool Planned(const PlannedSegment& segment) const;
    // Whether the settings `options` give and their run directory's data are still this plan's;
    // false, saying what changed with both values, when not.
    bool Holds(const CaptureOptions& options, std::string& error) const;

    // "segment-00000030.mkv" in `parts`.
    std::filesystem::path SegmentVideo(const std::filesystem::path& parts, size_t index) const;
    const std::vector<PlannedSegment>& Segments() const { return segments; }
    int64_t FirstFrame() const { return firstFrame; }
    int64_t EndFrame() const { return endFrame; }
    int FramesPerSecond() const { return framesPerSecond; }

private:
    using Setting = std::pair<std::string, std::string>;

    const std::string* Find(std::string_view name) const;
    bool Take(std::string_view name, std::string_view value, std::string& error);

    std::vector<Setting> settings;  // name and value, in the order they are written
    int framesPerSecond = 0;
    std::string extension;
    int64_t firstFrame = 0;
    int64_t endFrame = 0;
    std::vector<PlannedSegment> segments;
};
