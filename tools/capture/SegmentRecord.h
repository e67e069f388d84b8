#pragma once
// What a segment's process leaves beside its finished video and frame list, FILE.record: the
// video's size, its frame count and a hash of its bytes. Written last, so that a segment without
// it is not finished (or was drawn by a tool that wrote none, and is drawn again). The join holds
// every segment against its record and against ffprobe's count, so that a video replaced, cut short
// or damaged since it was drawn never goes into the whole.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// "segment-00000030.mkv" -> "segment-00000030.mkv.record".
std::filesystem::path SegmentRecordFile(const std::filesystem::path& video);

struct SegmentRecord {
    uint64_t bytes = 0;
    int64_t frames = 0;
    uint64_t hash = 0;

    // Of `video` as it lies now, holding `frames` frames.
    static std::optional<SegmentRecord> Take(const std::filesystem::path& video, int64_t frames, std::string& error);
    // Null when there is none or it is not a whole record.
    static std::optional<SegmentRecord> Read(const std::filesystem::path& video);
    static std::optional<SegmentRecord> Parse(std::string_view text);
    std::string Text() const;
    // Atomically, so that a killed process leaves a whole record or none.
    bool Write(const std::filesystem::path& video, std::string& error) const;
};

// `video` against its record, its frame list (`listFrames` lines) and ffprobe's count of its
// frames: false with what differs in `error`, each with both values.
bool CheckSegment(const std::filesystem::path& video, int64_t plannedFrames, int64_t listFrames,
                  const std::filesystem::path& ffprobe, std::string& error);

// The record of a segment's video just published with its frame list.
bool RecordSegment(const std::filesystem::path& video, int64_t frames, std::string& error);
