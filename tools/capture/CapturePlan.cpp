#include "CapturePlan.h"

#include "DataFingerprint.h"
#include "SoundtrackTimes.h"
#include "VideoCapture.h"
#include "VideoEncoder.h"
#include "Version.h"
#include "io/TemporaryFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

constexpr std::string_view kHeading = "quarn-capture plan 1";
// Far above any plan: a 30-minute soundtrack at 240 frames per second is a few hundred segments.
constexpr std::streamsize kLargestPlan = 1 << 20;
// Short enough that a failure loses little, long enough that each process's start-up (the engine,
// and running the frames before its segment undrawn) stays small beside its drawing.
constexpr int64_t kLongestSegmentSeconds = 20;

std::string Range(int64_t first, int64_t end) {
    return std::to_string(first) + ":" + std::to_string(end);
}

bool ParseRange(std::string_view text, int64_t& first, int64_t& end) {
    long long a = 0, b = 0;
    int consumed = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%18lld:%18lld%n", &a, &b, &consumed) != 2 ||
        consumed != static_cast<int>(copy.size()) || a < 0 || b <= a)
        return false;
    first = a;
    end = b;
    return true;
}

std::string Hex(uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

std::string SegmentIndexList(const std::vector<size_t>& indices, char separator) {
    std::string list;
    for (const size_t index : indices) {
        if (!list.empty()) list += separator;
        list += std::to_string(index);
    }
    return list;
}

std::optional<CapturePlan> CapturePlan::FromOptions(const CaptureOptions& options, std::string& error) {
    DataFingerprint data;
    if (!FingerprintRunData(options.runDirectory, data, error)) return std::nullopt;
    if (data.skipped > 0)
        std::printf("%s: %lld entries of the run directory's data are not regular files; they are left out of its "
                    "fingerprint\n",
                    options.videoFile.c_str(), static_cast<long long>(data.skipped));
    const FrameSettings& frame = options.frame;
    CapturePlan plan;
    plan.framesPerSecond = options.framesPerSecond;
    plan.extension = options.preset->extension;
    plan.settings = {
        {"tool", QUARN_VERSION_LINE},
        {"size", std::to_string(frame.width) + "x" + std::to_string(frame.height)},
        {"supersample", std::to_string(frame.supersample)},
        {"motion-blur", std::to_string(frame.motionBlur)},
        {"shutter", Decimal(frame.shutterDegrees)},
        {"max-anisotropy", options.anisotropyCap > 0.0f ? Decimal(options.anisotropyCap) : "driver"},
        {"fps", std::to_string(options.framesPerSecond)},
        {"preset", *options.preset->name ? options.preset->name : "none"},
        {"container", plan.extension},
        {"video-encoding", VideoEncoder::VideoSettings(options.preset->encoding, options.framesPerSecond)},
        {"audio-encoding", VideoEncoder::AudioSettings(options.preset->encoding)},
        {"run-data", Hex(data.hash) + " (" + std::to_string(data.files) + " files, " + std::to_string(data.bytes) +
                         " bytes)"},
    };
    return plan;
}

std::optional<CapturePlan> CapturePlan::ForCapture(const CaptureOptions& options, std::string& error) {
    std::optional<CapturePlan> plan = FromOptions(options, error);
    if (!plan) return std::nullopt;
    const std::optional<SoundtrackTimes> soundtrack =
        SoundtrackTimes::Read(options.runDirectory, options.framesPerSecond, error);
    Stretch stretch;
    if (!soundtrack || !ChooseStretch(*soundtrack, options, stretch, error)) return std::nullopt;
    plan->Cut(stretch.firstFrame, stretch.endFrame, std::max(1, options.jobs));
    return plan;
}

std::optional<CapturePlan> CapturePlan::Read(const std::filesystem::path& parts, std::string& error) {
    error.clear();
    const std::filesystem::path file = parts / kFileName;
    std::error_code failure;
    if (!std::filesystem::exists(file, failure)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<size_t>(kLargestPlan) + 1, '\0');
    in.read(text.data(), kLargestPlan + 1);
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad() || !std::filesystem::is_regular_file(file, failure)) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    if (text.size() > static_cast<size_t>(kLargestPlan)) {
        error = file.string() + " is larger than any plan";
        return std::nullopt;
    }
    std::optional<CapturePlan> plan = Parse(text, error);
    if (!plan) error = file.string() + ": " + error;
    return plan;
}

std::optional<CapturePlan> CapturePlan::Parse(std::string_view text, std::string& error) {
    CapturePlan plan;
    bool headed = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            error = "its last line is cut short";
            return std::nullopt;
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!headed) {
            headed = line == kHeading;
            if (headed) continue;
            error = "not a plan of quarn-capture";
            return std::nullopt;
        }
        const size_t space = line.find(' ');
        if (space == 0 || space == std::string_view::npos ||
            !plan.Take(line.substr(0, space), line.substr(space + 1), error))
            return std::nullopt;
    }
    if (!headed || plan.segments.empty() || plan.framesPerSecond <= 0) {
        error = "not a whole plan";
        return std::nullopt;
    }
    return plan;
}

bool CapturePlan::Take(std::string_view name, std::string_view value, std::string& error) {
    if (name == "frames" || name == "segment") {
        PlannedSegment range;
        if (!ParseRange(value, range.firstFrame, range.endFrame)) {
            // Appended, not concatenated from a literal: GCC 12's -Wrestrict misfires on
            // `"literal" + std::string(...)` at -O2 with _FORTIFY_SOURCE.
            error = std::string(1, '"').append(name).append(" ").append(value).append("\" is not a range of frames");
            return false;
        }
        if (name == "frames") {
            firstFrame = range.firstFrame;
            endFrame = range.endFrame;
        } else {
            segments.push_back(range);
        }
        return true;
    }
    if (name == "fps") framesPerSecond = std::atoi(std::string(value).c_str());
    if (name == "container") extension = value;
    settings.emplace_back(name, value);
    return true;
}

void CapturePlan::Cut(int64_t first, int64_t end, int jobs) {
    firstFrame = first;
    endFrame = end;
    segments.clear();
    const int64_t fps = framesPerSecond;
    const int64_t gop = std::max<int64_t>(1, fps / 2);
    const int64_t share = (end - first + jobs - 1) / jobs;
    const int64_t length = (std::min(share, kLongestSegmentSeconds * fps) + gop - 1) / gop * gop;
    for (int64_t at = first; at < end; at += length) segments.push_back({at, std::min(end, at + length)});
}

std::string CapturePlan::Text() const {
    std::string text = std::string(kHeading) + "\n";
    for (const Setting& setting : settings) text += setting.first + " " + setting.second + "\n";
    text += "frames " + Range(firstFrame, endFrame) + "\n";
    for (const PlannedSegment& segment : segments) text += "segment " + Range(segment.firstFrame, segment.endFrame) + "\n";
    return text;
}

bool CapturePlan::Write(const std::filesystem::path& parts, std::string& error) const {
    return SaveFile((parts / kFileName).string(), Text(), error);
}

const std::string* CapturePlan::Find(std::string_view name) const {
    const auto found =
        std::find_if(settings.begin(), settings.end(), [name](const Setting& setting) { return setting.first == name; });
    return found == settings.end() ? nullptr : &found->second;
}

std::vector<std::string> CapturePlan::Differences(const CapturePlan& earlier) const {
    std::vector<std::string> differences;
    for (const Setting& setting : settings) {
        const std::string* was = earlier.Find(setting.first);
        if (!was || *was != setting.second)
            differences.push_back(setting.first + " " + setting.second + ", was " + (was ? *was : "not recorded"));
    }
    for (const Setting& setting : earlier.settings)
        if (!Find(setting.first)) differences.push_back(setting.first + " no longer recorded, was " + setting.second);
    if (firstFrame != earlier.firstFrame || endFrame != earlier.endFrame)
        differences.push_back("frames " + Range(firstFrame, endFrame) + " (--from, --to), was " +
                              Range(earlier.firstFrame, earlier.endFrame));
    return differences;
}

std::string CapturePlan::DifferenceText(const CapturePlan& earlier) const {
    std::string text;
    for (const std::string& difference : Differences(earlier)) text += (text.empty() ? "" : "; ") + difference;
    return text;
}

bool CapturePlan::Holds(const CaptureOptions& options, std::string& error) const {
    std::optional<CapturePlan> now = FromOptions(options, error);
    if (!now) return false;
    now->Cut(firstFrame, endFrame, 1);
    const std::string differences = now->DifferenceText(*this);
    if (differences.empty()) return true;
    error = "the settings or the run directory's data changed after the segments were planned (" + differences + ")";
    return false;
}

bool CapturePlan::Planned(const PlannedSegment& segment) const {
    return std::find(segments.begin(), segments.end(), segment) != segments.end();
}

std::filesystem::path CapturePlan::SegmentVideo(const std::filesystem::path& parts, size_t index) const {
    char name[48];
    std::snprintf(name, sizeof name, "segment-%08" PRId64, segments[index].firstFrame);
    return parts / (name + extension);
}
