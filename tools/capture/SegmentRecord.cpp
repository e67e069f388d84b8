#include "SegmentRecord.h"

#include "CaptureSession.h"
#include "ContentHash.h"
#include "ProgramRun.h"
#include "io/TemporaryFile.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

constexpr std::string_view kHeading = "quarn-capture segment 1\n";
// Far above any record's few lines.
constexpr std::streamsize kLargestRecord = 4096;

std::string Hex(uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

// The video stream's packets as ffprobe counts them, one a frame: from the container's index, not
// by decoding, so that it takes a moment.
std::optional<int64_t> ProbedFrames(const std::filesystem::path& ffprobe, const std::filesystem::path& video,
                                    std::string& why) {
    const ProgramRun probe = RunProgram({ffprobe.string(), "-v", "error", "-select_streams", "v:0", "-count_packets",
                                         "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", video.string()});
    long long frames = 0;
    int consumed = 0;
    if (probe.Succeeded() && std::sscanf(probe.output.c_str(), "%18lld%n", &frames, &consumed) == 1 && frames >= 0 &&
        probe.output.find_first_not_of(" \r\n", static_cast<size_t>(consumed)) == std::string::npos)
        return frames;
    why = probe.Succeeded() ? "ffprobe counts no video frames in it" : "ffprobe cannot read it (" + probe.Why() + ")";
    return std::nullopt;
}

void Differ(std::string& differences, const std::string& what, const std::string& now, const std::string& recorded) {
    differences += (differences.empty() ? "" : "; ") + what + " " + now + ", recorded " + recorded;
}

}  // namespace

std::filesystem::path SegmentRecordFile(const std::filesystem::path& video) {
    std::filesystem::path record = video;
    return record += ".record";
}

std::optional<SegmentRecord> SegmentRecord::Take(const std::filesystem::path& video, int64_t frames,
                                                 std::string& error) {
    std::error_code failure;
    const uintmax_t bytes = std::filesystem::file_size(video, failure);
    const std::optional<uint64_t> hash = failure ? std::nullopt : HashFile(video);
    if (!hash) {
        error = "cannot read " + Quoted(video) + " to record it";
        return std::nullopt;
    }
    return SegmentRecord{static_cast<uint64_t>(bytes), frames, *hash};
}

std::optional<SegmentRecord> SegmentRecord::Read(const std::filesystem::path& video) {
    const std::filesystem::path file = SegmentRecordFile(video);
    // A pipe or a device under its name would hold the reader, not answer it.
    std::error_code failure;
    if (!std::filesystem::is_regular_file(file, failure)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<size_t>(kLargestRecord), '\0');
    in.read(text.data(), kLargestRecord);
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad() || text.size() >= static_cast<size_t>(kLargestRecord)) return std::nullopt;
    return Parse(text);
}

std::optional<SegmentRecord> SegmentRecord::Parse(std::string_view text) {
    if (!text.starts_with(kHeading)) return std::nullopt;
    const std::string body(text.substr(kHeading.size()));
    unsigned long long bytes = 0, hash = 0;
    long long frames = 0;
    int consumed = 0;
    if (std::sscanf(body.c_str(), "bytes %20llu\nframes %18lld\nhash %16llx\n%n", &bytes, &frames, &hash,
                    &consumed) != 3 ||
        consumed != static_cast<int>(body.size()) || frames < 0)
        return std::nullopt;
    return SegmentRecord{bytes, frames, hash};
}

std::string SegmentRecord::Text() const {
    return std::string(kHeading) + "bytes " + std::to_string(bytes) + "\nframes " + std::to_string(frames) +
           "\nhash " + Hex(hash) + "\n";
}

bool SegmentRecord::Write(const std::filesystem::path& video, std::string& error) const {
    return SaveFile(SegmentRecordFile(video).string(), Text(), error);
}

bool CheckSegment(const std::filesystem::path& video, int64_t plannedFrames, int64_t listFrames,
                  const std::filesystem::path& ffprobe, std::string& error) {
    const std::optional<SegmentRecord> recorded = SegmentRecord::Read(video);
    if (!recorded) {
        error = "it has no record of its video (" + Quoted(SegmentRecordFile(video)) +
                "): an earlier quarn-capture drew it, or it was never finished";
        return false;
    }
    std::string differences;
    if (recorded->frames != plannedFrames)
        Differ(differences, "the plan has", std::to_string(plannedFrames) + " frames",
               std::to_string(recorded->frames));
    if (listFrames != recorded->frames)
        Differ(differences, "its frame list has", std::to_string(listFrames) + " frames",
               std::to_string(recorded->frames));
    std::string unreadable;
    const std::optional<SegmentRecord> now = SegmentRecord::Take(video, recorded->frames, unreadable);
    if (!now) {
        differences += (differences.empty() ? "" : "; ") + unreadable;
    } else {
        if (now->bytes != recorded->bytes)
            Differ(differences, "its video has", std::to_string(now->bytes) + " bytes",
                   std::to_string(recorded->bytes));
        if (now->hash != recorded->hash)
            Differ(differences, "its video's hash is", Hex(now->hash), Hex(recorded->hash));
    }
    std::string why;
    const std::optional<int64_t> probed = ProbedFrames(ffprobe, video, why);
    if (!probed)
        differences += (differences.empty() ? "" : "; ") + why;
    else if (*probed != recorded->frames)
        Differ(differences, "ffprobe counts", std::to_string(*probed) + " frames in its video",
               std::to_string(recorded->frames));
    error = differences;
    return differences.empty();
}

bool RecordSegment(const std::filesystem::path& video, int64_t frames, std::string& error) {
    const std::optional<SegmentRecord> record = SegmentRecord::Take(video, frames, error);
    return record && record->Write(video, error);
}
