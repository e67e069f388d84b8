#include "CaptureOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// Wide enough for the name's four integer digits; no soundtrack comes near it.
constexpr double kLargestBeat = 9999.99;
constexpr int kLargestFrameRate = 240;
// No GL draws wider or higher than this; the driver's own limit is checked once it has started.
constexpr int kLargestRenderSide = 16384;
constexpr int kSmallestSide = 16;
constexpr int kLargestSupersample = 4;
constexpr int kLargestMotionBlur = 64;
constexpr int kLargestDevice = 15;
constexpr int kMostJobs = 64;
// Linux's highest process id (PID_MAX_LIMIT).
constexpr int kLargestProcess = 4194304;
constexpr int kLargestDescriptor = 1023;

bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

bool IsFolder(std::string_view argument) {
    return argument == "--out" || argument == "--run-dir";
}

bool IsPath(std::string_view argument) {
    return IsFolder(argument) || argument == "--sheet" || argument == "--video";
}

std::optional<double> ParseNumber(const char* text) {
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(number)) return std::nullopt;
    return number;
}

bool ParseBeat(const char* text, std::optional<double>& beat, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number) return Fail(error, std::string("not a beat: \"") + text + "\"");
    if (*number < 0.0 || *number > kLargestBeat)
        return Fail(error, std::string("beat out of range (0 to 9999.99): ") + text);
    beat = std::round(*number * 100.0) / 100.0;
    return true;
}

bool ParseInterval(const char* text, double& beats, std::string& error) {
    std::optional<double> interval;
    if (!ParseBeat(text, interval, error)) return false;
    if (*interval <= 0.0) return Fail(error, std::string("--every takes a number of beats above 0, not \"") + text + "\"");
    beats = *interval;
    return true;
}

bool ParseFrameRate(const char* text, int& framesPerSecond, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number || *number != std::floor(*number) || *number < 1.0 || *number > kLargestFrameRate)
        return Fail(error, std::string("--fps takes a whole number of frames per second from 1 to 240, not \"") +
                               text + "\"");
    framesPerSecond = static_cast<int>(*number);
    return true;
}

// A whole number from `least` to `most`, or an error naming the option.
bool ParseCount(std::string_view argument, const char* text, int least, int most, int& count, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number || *number != std::floor(*number) || *number < least || *number > most)
        return Fail(error, std::string(argument) + " takes a whole number from " + std::to_string(least) + " to " +
                               std::to_string(most) + ", not \"" + text + "\"");
    count = static_cast<int>(*number);
    return true;
}

bool ParseSize(const char* text, FrameSettings& frame, std::string& error) {
    int width = 0, height = 0, consumed = 0;
    if (std::sscanf(text, "%5dx%5d%n", &width, &height, &consumed) != 2 || text[consumed] != '\0' ||
        width < kSmallestSide || height < kSmallestSide || width > kLargestRenderSide ||
        height > kLargestRenderSide)
        return Fail(error, std::string("--size takes WIDTHxHEIGHT, each from 16 to 16384, not \"") + text + "\"");
    frame.width = width;
    frame.height = height;
    return true;
}

bool ParseShutter(const char* text, double& degrees, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number || *number <= 0.0 || *number > 360.0)
        return Fail(error, std::string("--shutter takes an angle above 0 and up to 360 degrees, not \"") + text +
                               "\"");
    degrees = *number;
    return true;
}

// "0" or "0,1,2": EGL devices, the first for this process.
bool ParseDevices(const char* text, CaptureOptions& options, std::string& error) {
    options.gpus.clear();
    std::string_view rest = text;
    while (true) {
        const size_t comma = rest.find(',');
        const std::string one(rest.substr(0, comma));
        int device = 0;
        if (!ParseCount("--gpu", one.c_str(), 0, kLargestDevice, device, error) || options.gpus.size() > kLargestDevice)
            return Fail(error, std::string("--gpu takes EGL devices from 0 to 15, one or a list like 0,1,2, not \"") +
                                   text + "\"");
        options.gpus.push_back(device);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    options.gpu = options.gpus.front();
    return true;
}

bool ParseSegment(const char* text, std::optional<std::pair<int64_t, int64_t>>& segment, std::string& error) {
    long long first = 0, end = 0;
    int consumed = 0;
    if (std::sscanf(text, "%12lld:%12lld%n", &first, &end, &consumed) != 2 || text[consumed] != '\0' || first < 0 ||
        end <= first)
        return Fail(error, std::string("--segment takes FIRST:END frames, not \"") + text + "\"");
    segment.emplace(first, end);
    return true;
}

bool ParsePreset(const char* text, const VideoPreset*& preset, std::string& error) {
    preset = FindPreset(text);
    if (!preset) return Fail(error, std::string("unknown preset \"") + text + "\"; --list-presets shows them");
    return true;
}

bool ParseAnisotropy(const char* text, float& cap, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number || *number < 1.0 || *number > 1024.0)
        return Fail(error, std::string("--max-anisotropy takes a level of 1 or more, not \"") + text + "\"");
    cap = static_cast<float>(*number);
    return true;
}

// Absolute, with "." and ".." resolved as the system resolves them: a file's folder, or the folder
// itself. A link at the very end stays a link.
std::filesystem::path AbsolutePath(const char* text, bool folder) {
    std::error_code failure;
    const std::filesystem::path path = std::filesystem::absolute(text, failure);
    const std::filesystem::path resolved =
        std::filesystem::weakly_canonical(folder ? path : path.parent_path(), failure);
    if (failure) return path;
    return folder ? resolved : resolved / path.filename();
}

bool ParsePath(std::string_view argument, const char* text, std::filesystem::path& path, std::string& error) {
    if (*text == '\0') return Fail(error, std::string(argument) + " needs a path");
    path = AbsolutePath(text, IsFolder(argument));
    return true;
}

std::filesystem::path ToolDirectory() {
    std::error_code failure;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
    return failure ? std::filesystem::current_path() : self.parent_path();
}

bool ApplyBeat(const char* value, CaptureOptions& options, std::string& error) {
    std::optional<double> beat;
    if (!ParseBeat(value, beat, error)) return false;
    options.beats.push_back(*beat);
    return true;
}

using ApplyOption = bool (*)(const char* value, CaptureOptions& options, std::string& error);

// The options that take a value. One table, so that a name is either known with its reader or unknown:
// a mistyped option last on the line is then unknown, not short of a value.
struct ValueOption {
    std::string_view name;
    ApplyOption apply;
};
constexpr ValueOption kValueOptions[] = {
    {"--at", ApplyBeat},
    {"--from", [](const char* v, CaptureOptions& o, std::string& e) { return ParseBeat(v, o.fromBeat, e); }},
    {"--to", [](const char* v, CaptureOptions& o, std::string& e) { return ParseBeat(v, o.toBeat, e); }},
    {"--every", [](const char* v, CaptureOptions& o, std::string& e) { return ParseInterval(v, o.everyBeats, e); }},
    {"--fps", [](const char* v, CaptureOptions& o, std::string& e) { return ParseFrameRate(v, o.framesPerSecond, e); }},
    {"--max-anisotropy",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParseAnisotropy(v, o.anisotropyCap, e); }},
    {"--size", [](const char* v, CaptureOptions& o, std::string& e) { return ParseSize(v, o.frame, e); }},
    {"--supersample",
     [](const char* v, CaptureOptions& o, std::string& e) {
         return ParseCount("--supersample", v, 1, kLargestSupersample, o.frame.supersample, e);
     }},
    {"--motion-blur",
     [](const char* v, CaptureOptions& o, std::string& e) {
         return ParseCount("--motion-blur", v, 1, kLargestMotionBlur, o.frame.motionBlur, e);
     }},
    {"--shutter",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParseShutter(v, o.frame.shutterDegrees, e); }},
    {"--preset", [](const char* v, CaptureOptions& o, std::string& e) { return ParsePreset(v, o.preset, e); }},
    {"--gpu", ParseDevices},
    {"--jobs",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParseCount("--jobs", v, 1, kMostJobs, o.jobs, e); }},
    {"--segment", [](const char* v, CaptureOptions& o, std::string& e) { return ParseSegment(v, o.segment, e); }},
    {"--parent",
     [](const char* v, CaptureOptions& o, std::string& e) {
         return ParseCount("--parent", v, 2, kLargestProcess, o.parentProcess, e);
     }},
    {"--progress-fd",
     [](const char* v, CaptureOptions& o, std::string& e) {
         return ParseCount("--progress-fd", v, 3, kLargestDescriptor, o.progressFd, e);
     }},
    {"--out",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParsePath("--out", v, o.outDirectory, e); }},
    {"--sheet",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParsePath("--sheet", v, o.sheetFile, e); }},
    {"--video",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParsePath("--video", v, o.videoFile, e); }},
    {"--run-dir",
     [](const char* v, CaptureOptions& o, std::string& e) { return ParsePath("--run-dir", v, o.runDirectory, e); }},
    {"--sbatch",
     [](const char* v, CaptureOptions& o, std::string&) {
         o.sbatchOptions = v;
         return true;
     }},
};

bool IsWholeNumber(const char* text) {
    return *text != '\0' && std::all_of(text, text + std::strlen(text), [](char c) { return c >= '0' && c <= '9'; });
}

// The words that take no value, or whose value a scheduler may give instead. False for others.
bool ReadFlag(int argc, const char* const* argv, int& i, CaptureOptions& options, std::string& error) {
    const std::string_view argument = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "";
    if (argument == "--slurm") {
        options.slurm = true;
    } else if (argument == "--wait") {
        options.waitForJoin = true;
    } else if (argument == "--join") {
        options.join = true;
    } else if (argument == "--plan") {
        options.planOnly = true;
    } else if (argument == "--segment-index") {
        options.segmentTask = true;
        if (!IsWholeNumber(next)) return true;
        int index = 0;
        if (!ParseCount(argument, next, 0, 1'000'000, index, error)) return false;
        options.segmentIndex = index;
        ++i;
    } else if (argument == "--gpu" && !std::isdigit(static_cast<unsigned char>(*next))) {
        options.gpuFromScheduler = true;
        options.arguments.emplace_back(argument);
    } else {
        return false;
    }
    return true;
}


ApplyOption FindValueOption(std::string_view argument) {
    for (const ValueOption& option : kValueOptions)
        if (option.name == argument) return option.apply;
    return nullptr;
}

// The settings that belong to one kind of capture only.
struct Given {
    bool frameRate = false;
    bool stretch = false;
    bool size = false;
    bool supersample = false;
    bool motionBlur = false;
    bool shutter = false;
    bool preset = false;
};

bool ReadArguments(int argc, const char* const* argv, CaptureOptions& options, std::string& error, Given& given) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (argument == "--list-presets") {
            options.listPresets = true;
            continue;
        }
        if (argument == "--headless") {
            options.headless = true;
            options.arguments.emplace_back(argument);
            continue;
        }
        if (ReadFlag(argc, argv, i, options, error)) continue;
        if (!error.empty()) return false;
        if (!argument.starts_with("--")) return Fail(error, "unknown argument: " + std::string(argument));
        const ApplyOption apply = FindValueOption(argument);
        if (!apply) return Fail(error, "unknown argument: " + std::string(argument));
        if (i + 1 >= argc) return Fail(error, std::string(argument) + " needs a value");
        if (!apply(argv[++i], options, error)) return false;
        if (argument == "--sbatch") continue;
        options.arguments.emplace_back(argument);
        options.arguments.push_back(IsPath(argument) ? AbsolutePath(argv[i], IsFolder(argument)).string() : argv[i]);
        given.frameRate |= argument == "--fps";
        given.stretch |= argument == "--from" || argument == "--to";
        given.size |= argument == "--size";
        given.supersample |= argument == "--supersample";
        given.motionBlur |= argument == "--motion-blur";
        given.shutter |= argument == "--shutter";
        given.preset |= argument == "--preset";
    }
    return true;
}

bool HasExtension(const std::filesystem::path& file, std::string_view wanted) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == wanted;
}

bool CheckOneKind(const CaptureOptions& options, std::string& error) {
    const bool stills = !options.beats.empty() || !options.outDirectory.empty();
    const bool sheet = !options.sheetFile.empty() || options.everyBeats > 0.0;
    const bool video = !options.videoFile.empty();
    if (stills + sheet + video > 1) return Fail(error, "give one of stills (--at, --out), --sheet or --video");
    return true;
}

bool CheckStretch(const CaptureOptions& options, std::string& error) {
    if (options.fromBeat && options.toBeat && *options.fromBeat >= *options.toBeat)
        return Fail(error, "--from must come before --to");
    return true;
}

// What the preset sets and no option overrides.
void ApplyPreset(const Given& given, CaptureOptions& options) {
    const VideoPreset& preset = *options.preset;
    if (!given.size) {
        options.frame.width = preset.width;
        options.frame.height = preset.height;
    }
    if (!given.supersample) options.frame.supersample = preset.supersample;
    if (!given.frameRate) options.framesPerSecond = preset.framesPerSecond;
}

bool CheckFrame(const FrameSettings& frame, const Given& given, std::string& error) {
    if (frame.RenderWidth() > kLargestRenderSide || frame.RenderHeight() > kLargestRenderSide)
        return Fail(error, "the supersampled size " + std::to_string(frame.RenderWidth()) + "x" +
                               std::to_string(frame.RenderHeight()) + " is beyond 16384 pixels a side");
    if (given.shutter && !given.motionBlur) return Fail(error, "--shutter goes with --motion-blur");
    return true;
}

bool CheckVideo(const CaptureOptions& options, std::string& error) {
    const VideoPreset& preset = *options.preset;
    if (!HasExtension(options.videoFile, preset.extension))
        return Fail(error, std::string("the --video file must end in ") + preset.extension +
                               (*preset.name ? std::string(" for the preset ") + preset.name : std::string()));
    // 4:2:0 keeps one colour sample per two by two pixels.
    if (preset.encoding != VideoEncoding::kMaster && (options.frame.width % 2 != 0 || options.frame.height % 2 != 0))
        return Fail(error, "--size must be even both ways for 4:2:0 video, not " + std::to_string(options.frame.width) +
                               "x" + std::to_string(options.frame.height));
    return CheckStretch(options, error);
}

bool CheckSheet(const CaptureOptions& options, const Given& given, std::string& error) {
    if (given.frameRate) return Fail(error, "--fps goes with --video");
    if (given.size) return Fail(error, "--size goes with --video or stills; a sheet is made of 1280x720 frames");
    if (options.sheetFile.empty()) return Fail(error, "--every goes with --sheet FILE.png");
    if (options.everyBeats <= 0.0) return Fail(error, "no --every BEATS given for the sheet");
    if (!HasExtension(options.sheetFile, ".png")) return Fail(error, "the --sheet file must end in .png");
    return CheckStretch(options, error);
}

bool CheckStills(const CaptureOptions& options, const Given& given, std::string& error) {
    if (given.frameRate || given.stretch) return Fail(error, "--fps, --from and --to go with --video or --sheet");
    if (options.beats.empty()) return Fail(error, "no --at BEAT given");
    if (options.outDirectory.empty()) return Fail(error, "no --out DIR given");
    return true;
}

bool CheckScheduler(const CaptureOptions& options, std::string& error) {
    const int roles = options.slurm + options.segmentTask + options.join + options.planOnly;
    if (roles == 0 && (options.waitForJoin || !options.sbatchOptions.empty()))
        return Fail(error, "--wait and --sbatch go with --slurm");
    if (roles == 0 && options.gpuFromScheduler)
        return Fail(error, "--gpu takes EGL devices, one or a list like 0,1,2; without one it goes with --slurm or "
                           "--segment-index, for the GPU a scheduler gives each task");
    if (roles == 0) return true;
    if (roles > 1) return Fail(error, "give one of --slurm, --plan, --segment-index or --join");
    if (options.videoFile.empty()) return Fail(error, "--slurm, --plan, --segment-index and --join go with --video");
    if (options.segment) return Fail(error, "--segment goes with none of --slurm, --plan, --segment-index, --join");
    if (options.waitForJoin && !options.slurm) return Fail(error, "--wait goes with --slurm");
    if (!options.sbatchOptions.empty() && !options.slurm) return Fail(error, "--sbatch goes with --slurm");
    if (!options.gpus.empty() && options.slurm)
        return Fail(error, "with --slurm the scheduler gives each task its GPU: give --gpu without devices");
    return true;
}

bool Check(const CaptureOptions& options, const Given& given, std::string& error) {
    if (!CheckOneKind(options, error) || !CheckFrame(options.frame, given, error) ||
        !CheckScheduler(options, error))
        return false;
    if (given.preset && options.videoFile.empty()) return Fail(error, "--preset goes with --video");
    if ((options.jobs > 0 || options.segment) && options.videoFile.empty())
        return Fail(error, "--jobs goes with --video");
    if ((options.parentProcess > 0 || options.progressFd >= 0) && !options.segment)
        return Fail(error, "--parent and --progress-fd go with --segment");
    if (!options.videoFile.empty()) return CheckVideo(options, error);
    if (!options.sheetFile.empty() || options.everyBeats > 0.0) return CheckSheet(options, given, error);
    return CheckStills(options, given, error);
}

}  // namespace

std::optional<CaptureOptions> ParseCaptureOptions(int argc, const char* const* argv, std::string& error) {
    CaptureOptions options;
    Given given;
    if (!ReadArguments(argc, argv, options, error, given)) return std::nullopt;
    if (options.help || options.version || options.listPresets) return options;
    if (!options.videoFile.empty()) ApplyPreset(given, options);
    if (!Check(options, given, error)) return std::nullopt;
    if (options.runDirectory.empty()) options.runDirectory = ToolDirectory();
    // A scheduler's segments are cut as one job's would be unless --jobs says otherwise.
    if ((options.slurm || options.segmentTask || options.join || options.planOnly) && options.jobs == 0)
        options.jobs = 1;
    std::sort(options.beats.begin(), options.beats.end());
    options.beats.erase(std::unique(options.beats.begin(), options.beats.end()), options.beats.end());
    return options;
}

const char* CaptureUsage() {
    return "usage: quarn-capture --at BEAT [--at BEAT ...] --out DIR [FRAME OPTIONS] [--run-dir DIR]\n"
           "                     [--max-anisotropy N]\n"
           "       quarn-capture --sheet FILE.png --every BEATS [--from BEAT] [--to BEAT] [--run-dir DIR]\n"
           "                     [--supersample K] [--motion-blur N [--shutter DEGREES]] [--max-anisotropy N]\n"
           "       quarn-capture --video FILE.mp4 [--preset NAME] [--fps N] [--from BEAT] [--to BEAT]\n"
           "                     [FRAME OPTIONS] [--run-dir DIR] [--max-anisotropy N]\n"
           "       quarn-capture --video FILE [VIDEO OPTIONS] --slurm [--wait] [--sbatch \"OPTIONS\"]\n"
           "       quarn-capture --video FILE [VIDEO OPTIONS] --plan | --segment-index [K] | --join\n"
           "       quarn-capture --list-presets | --version\n"
           "\n"
           "Renders the demo with the player's own engine, frame by frame at a fixed rate, however\n"
           "long each frame takes. Positions are soundtrack beats (126 per minute).\n"
           "\n"
           "Stills: one PNG per position BEAT (taken to the hundredth) into DIR, named\n"
           "beat-BBBB.bb.png: what the player shows at that position when it runs at 60 frames per\n"
           "second from the start.\n"
           "\n"
           "Contact sheet: a still every BEATS beats from --from up to --to (both default to the ends\n"
           "of the soundtrack; a still that falls on --to is in it), shrunk to a fifth and laid out\n"
           "eight a row, each labelled with its beat, in one PNG: the whole demo at a glance.\n"
           "--every 4 puts one 32-beat phrase on a row. A still that takes long shows its progress.\n"
           "\n"
           "Video: every frame of the demo, or of the stretch from --from up to --to (both default to\n"
           "the ends of the soundtrack; the frame at --to is not in it), with the matching stretch of\n"
           "the soundtrack; by default 1280x720 H.264 with AAC in MP4. FILE.frames beside it (FILE's\n"
           "whole name, e.g. clip.mp4.frames) lists every frame: its number, its beat and a hash of its\n"
           "pixels as encoded; equal lists mean equal frames.\n"
           "--fps N          frames per second, 1 to 240, 60 by default. The frames are the player's\n"
           "                 own when it runs at N frames per second from the start: its clocks step 1/N s.\n"
           "--jobs N         cuts the video into segments drawn by N processes at once, in FILE.parts/\n"
           "                 until they are joined (without encoding again), with one progress line for\n"
           "                 them all; each process's own output goes to its log there. A second run\n"
           "                 after a failure or Ctrl-C reuses the finished segments when the settings and\n"
           "                 the run directory's data are those they were drawn with, and says what\n"
           "                 differs otherwise, drawing them afresh.\n"
           "--segment A:B    the frames A to B-1 only, counted from the start, without sound: what\n"
           "                 each process of --jobs draws (with --parent PID and --progress-fd FD, the\n"
           "                 run it ends with and the pipe it reports to).\n"
           "--slurm          hands the segments to Slurm, from a cluster's login node: an array job with\n"
           "                 a task per segment still missing, and a job that joins them once all have\n"
           "                 succeeded; prints their ids and exits. The run directory and FILE's folder\n"
           "                 must be at the same path on every node. The same command after a failed\n"
           "                 or cancelled task submits only what is missing. --jobs N cuts finer.\n"
           "--wait           with --slurm: waits for the join, showing the segments drawn, and exits\n"
           "                 with its outcome.\n"
           "--sbatch \"OPTIONS\"  with --slurm: sbatch options for both jobs (partition, account, time);\n"
           "                 those the tool sets itself (--array, --output, --job-name ...) are refused.\n"
           "--plan           plans the segments in FILE.parts/ as --slurm does, for another scheduler,\n"
           "                 and says which are still to draw.\n"
           "--segment-index [K]  draws segment K of the plan in FILE.parts/ (K by default from\n"
           "                 SLURM_ARRAY_TASK_ID or JOB_COMPLETION_INDEX): a task of any scheduler.\n"
           "--join           joins the drawn segments of the plan and checks their frame lists.\n"
           "--preset NAME    a set of encoding settings (--list-presets shows them); --size, --fps and\n"
           "                 --supersample given as well override the preset's.\n"
           "Encoded by ffmpeg (sudo apt-get install ffmpeg). FILE appears only when complete, and\n"
           "FILE.frames only with it. Ctrl-C stops the capture between two frames with exit status\n"
           "130 (SIGTERM: 143), also when sent to the --jobs run alone: a plain capture leaves\n"
           "nothing behind, --jobs keeps its finished segments and says which.\n"
           "\n"
           "Frame options:\n"
           "--size WxH          the frames' size, e.g. 3840x2160, rendered natively (1280x720 by default;\n"
           "                    even both ways for 4:2:0 video).\n"
           "--supersample K     renders at K times the size (1 to 4) and averages each K x K block.\n"
           "--motion-blur N     averages N renders (1 to 64) spread evenly over the open shutter, each\n"
           "                    with the clocks the player would have at its instant; off (1) by default.\n"
           "--shutter DEGREES   how long the shutter stays open, as a share of the frame's 360 degrees;\n"
           "                    180 by default.\n"
           "\n"
           "--headless           draws off screen through EGL with Mesa's software rasteriser, with no\n"
           "                     window system; the default when DISPLAY is not set.\n"
           "--gpu N[,M...]       draws off screen on EGL device N (0, 1, ...) instead; with --jobs, a\n"
           "                     list gives each segment's process the devices in turn. Without N,\n"
           "                     with --slurm: each task asks for a GPU and draws on the one it is given.\n"
           "No sound device is opened: the capture plays nothing, and needs no sound card.\n"
           "--run-dir DIR        the player's data (Shaders/, Models/, Audio/, sync/ ...); by default\n"
           "                     the directory the tool lies in. The player's LogFile.txt there is\n"
           "                     left alone: the engine logs beside the output (FILE.log,\n"
           "                     SHEET.png.log, DIR/capture.log; a segment's in FILE.parts/).\n"
           "--max-anisotropy N   caps the anisotropic filtering of the textures at N (1 or more); by\n"
           "                     default the driver's maximum, as in the player. A software\n"
           "                     rasteriser draws many times faster at 1, with softer distant textures.\n";
}

std::string PresetList() {
    std::string list;
    for (const VideoPreset& preset : Presets()) {
        list.append(preset.name).append(" (").append(preset.extension).append(")\n  ");
        for (const char* c = preset.summary; *c; ++c) {
            list.push_back(*c);
            if (*c == '\n') list.append("  ");
        }
        list.append("\n");
    }
    return list;
}

std::filesystem::path EngineLogFile(const CaptureOptions& options) {
    if (!options.videoFile.empty()) return options.videoFile.string() + (options.segment ? ".engine.log" : ".log");
    if (!options.sheetFile.empty()) return options.sheetFile.string() + ".log";
    return options.outDirectory / "capture.log";
}

std::string StillFileName(double beat) {
    char name[32];
    std::snprintf(name, sizeof name, "beat-%07.2f.png", beat);
    return name;
}
