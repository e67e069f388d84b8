// quarn-capture's frame settings and presets, run as a process: a larger frame is the same picture,
// motion blur averages the player's own in-between frames, and the video-site preset's file is what
// the site asks for.
#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// In the first Sphere morph section, whose sphere and particles move on every frame.
constexpr const char* kStill = "176.4";
// The demo's first thirtieth of a second (beat 0.07 is 0.0333 s): one frame at 30 frames per
// second, eight at 240. From the start, a run at 240 frames per second has the same past as one at
// 30 with eight renders over the whole of each frame.
constexpr const char* kTo = "0.07";
constexpr const char* kSmall = "320x180";
// Measured at kStill on llvmpipe: the 2160p frame shrunk scores 45.1 dB against the 720p one, the
// next frame (1/60 s on) only 39.8 dB. A bound between the two fails a picture drawn at the wrong
// scale or aspect, and even one a frame out of step.
constexpr double kSameFramePsnr = 42.0;

class VideoSettingsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(run->AddSoundtrack(90.0));
    }
    static void TearDownTestSuite() { delete run; }

    // A lossless video of the stretch at the small size, with `more` options.
    static void CaptureMaster(const std::string& file, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"--video", file, "--preset", "master", "--size", kSmall,
                                              "--to", kTo, "--max-anisotropy", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        ExpectSucceeded(RunCapture(*run, arguments));
    }

    // The decoded frames, RGB, top row first, one after the other.
    static std::vector<uint8_t> DecodedFrames(const std::string& file) {
        const std::string raw = file + ".rgb";
        const ToolRun decode = RunTool(*run, "/usr/bin/ffmpeg",
                                       {"-v", "error", "-y", "-i", file, "-f", "rawvideo", "-pix_fmt", "rgb24", raw});
        EXPECT_EQ(decode.process.exitStatus, 0) << decode.errors;
        const std::string bytes = ReadBytes(run->File(raw));
        return {bytes.begin(), bytes.end()};
    }

    static std::vector<std::string> Lines(const std::string& file) {
        std::istringstream text(ReadBytes(run->File(file)));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    static EngineRunDirectory* run;
};

EngineRunDirectory* VideoSettingsTest::run = nullptr;

double Psnr(const Image& reference, const std::vector<double>& picture) {
    double squares = 0.0;
    const size_t count = picture.size();
    for (size_t i = 0; i < count; ++i) {
        const double difference = reference.pixels.get()[i] - picture[i];
        squares += difference * difference;
    }
    return 10.0 * std::log10(255.0 * 255.0 / (squares / count));
}

// Each pixel of the smaller picture is the mean of the `factor` x `factor` block it covers.
std::vector<double> Shrunk(const Image& image, int factor) {
    const int width = image.width / factor, height = image.height / factor;
    std::vector<double> shrunk(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx)
                    for (int c = 0; c < 3; ++c)
                        shrunk[(static_cast<size_t>(y) * width + x) * 3 + c] +=
                            image.Pixel(x * factor + dx, y * factor + dy)[c] / double(factor * factor);
    return shrunk;
}

// The effects follow the window's size, so the 2160p frame is the 720p one drawn sharper: shrunk
// back, it differs only in the edges' anti-aliasing and the particles' sub-pixel positions.
// Supersampled three times, the 720p frame is that same 2160p render shrunk, to the rounding.
TEST_F(VideoSettingsTest, A2160pFrameShrunkTo720pIsThe720pFrame) {
    ExpectSucceeded(RunCapture(*run, {"--at", kStill, "--out", "small", "--max-anisotropy", "1"}));
    ExpectSucceeded(
        RunCapture(*run, {"--at", kStill, "--out", "large", "--size", "3840x2160", "--max-anisotropy", "1"}));
    ExpectSucceeded(
        RunCapture(*run, {"--at", kStill, "--out", "super", "--supersample", "3", "--max-anisotropy", "1"}));
    const Image small = LoadPng(run->File("small/beat-0176.40.png"));
    const Image large = LoadPng(run->File("large/beat-0176.40.png"));
    const Image super = LoadPng(run->File("super/beat-0176.40.png"));
    ASSERT_TRUE(small.pixels && large.pixels && super.pixels);
    ASSERT_EQ(large.width, 3840);
    ASSERT_EQ(large.height, 2160);
    ASSERT_EQ(super.width, 1280);
    const std::vector<double> shrunk = Shrunk(large, 3);
    const double psnr = Psnr(small, shrunk);
    std::printf(
        "PSNR of the 2160p frame shrunk to 720p against the 720p frame: "
        "%.2f dB\n",
        psnr);
    EXPECT_GT(psnr, kSameFramePsnr);
    double worst = 0.0;
    for (size_t i = 0; i < shrunk.size(); ++i) worst = std::max(worst, std::abs(super.pixels.get()[i] - shrunk[i]));
    EXPECT_LE(worst, 0.5 + 1e-9) << "the supersampled frame is not the mean of its render's blocks";
}

// One render per frame is the plain frame; eight over the whole frame's time are the mean of the
// player's frames at eight times the rate, so every pixel lies between their extremes.
TEST_F(VideoSettingsTest, MotionBlurAveragesThePlayersFramesInBetween) {
    CaptureMaster("plain.mkv", {"--fps", "30"});
    CaptureMaster("once.mkv", {"--fps", "30", "--motion-blur", "1", "--shutter", "90"});
    CaptureMaster("blurred.mkv", {"--fps", "30", "--motion-blur", "8", "--shutter", "360"});
    CaptureMaster("fast.mkv", {"--fps", "240"});
    EXPECT_EQ(ReadBytes(run->File("once.mkv.frames")), ReadBytes(run->File("plain.mkv.frames")));
    EXPECT_EQ(Lines("plain.mkv.frames").size(), 1u);
    EXPECT_EQ(Lines("fast.mkv.frames").size(), 8u);

    const std::vector<uint8_t> plain = DecodedFrames("plain.mkv");
    const std::vector<uint8_t> blurred = DecodedFrames("blurred.mkv");
    const std::vector<uint8_t> fast = DecodedFrames("fast.mkv");
    const size_t frameBytes = 320 * 180 * 3;
    ASSERT_EQ(plain.size(), frameBytes);
    ASSERT_EQ(blurred.size(), frameBytes);
    ASSERT_EQ(fast.size(), 8 * frameBytes);
    size_t moved = 0, outside = 0;
    for (size_t i = 0; i < frameBytes; ++i) {
        uint8_t least = 255, most = 0;
        for (size_t frame = 0; frame < 8; ++frame) {
            least = std::min(least, fast[frame * frameBytes + i]);
            most = std::max(most, fast[frame * frameBytes + i]);
        }
        outside += blurred[i] < least || blurred[i] > most;
        moved += blurred[i] != plain[i];
    }
    std::printf(
        "blurred levels differing from the plain frame: %zu; outside the "
        "frames' range: %zu of %zu\n",
        moved, outside, frameBytes);
    EXPECT_GT(moved, frameBytes / 100) << "the blur is not seen";
    EXPECT_EQ(outside, 0u);
}

// Off screen through EGL, Mesa's software rasteriser draws the same bytes as through Xvfb's GLX.
TEST_F(VideoSettingsTest, OffScreenFramesAreTheWindowsFrames) {
    CaptureMaster("window.mkv", {});
    CaptureMaster("offscreen.mkv", {"--headless"});
    const std::vector<std::string> window = Lines("window.mkv.frames");
    EXPECT_EQ(window.size(), 2u);
    EXPECT_EQ(Lines("offscreen.mkv.frames"), window);
}

// The decoded picture's frames, one MD5 each, as ffmpeg's framemd5 lists them.
std::string FrameDigests(const EngineRunDirectory& run, const std::string& file) {
    const ToolRun digests =
        RunTool(run, "/usr/bin/ffmpeg", {"-v", "error", "-i", file, "-map", "0:v", "-f", "framemd5", "-"});
    std::istringstream lines(digests.output);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("#")) kept += line + "\n";
    return kept;
}

// Neither gone nor a zombie left for init to reap.
bool Alive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t name = text.rfind(')');
    return name != std::string::npos && name + 2 < text.size() && text[name + 2] != 'Z';
}

// Whether every process of a capture has let go of its parts folder's lock by `patience`.
bool EndsWithin(int pid, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (Alive(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !Alive(pid);
}

// Segments drawn by two processes and joined are the frames one process draws, to the byte; a run
// that fails in one segment (a full disk, here a stand-in ffmpeg) keeps the other, and the next
// run draws only what is missing.
TEST_F(VideoSettingsTest, SegmentsJoinToTheSameFramesAndAFailedOrKilledRunIsFinishedLater) {
    const std::vector<std::string> stretch = {"--preset", "master", "--size", kSmall,
                                              "--to", "2", "--max-anisotropy", "1"};
    auto capture = [&](const std::string& file, std::vector<std::string> more, Environment environment = {}) {
        more.insert(more.begin(), {"--video", file});
        more.insert(more.end(), stretch.begin(), stretch.end());
        return RunCapture(*run, more, std::move(environment));
    };
    ExpectSucceeded(capture("whole.mkv", {}));
    ExpectSucceeded(capture("joined.mkv", {"--jobs", "2"}));
    EXPECT_EQ(ReadBytes(run->File("joined.mkv.frames")), ReadBytes(run->File("whole.mkv.frames")));
    EXPECT_EQ(FrameDigests(*run, "joined.mkv"), FrameDigests(*run, "whole.mkv"));
    EXPECT_FALSE(fs::exists(run->File("joined.mkv.parts"))) << "the work is cleared away once the video is whole";

    const fs::path bin = run->File("full-disk-bin");
    fs::create_directory(bin);
    std::ofstream(bin / "ffmpeg") << "#!/bin/sh\nfor last in \"$@\"; do :; done\n"
                                  << "case \"$last\" in *segment-00000030*)\n"
                                  << "  echo 'No space left on device' >&2; exit 1;;\nesac\n"
                                  << "exec /usr/bin/ffmpeg \"$@\"\n";
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    const ToolRun failed = capture("resumed.mkv", {"--jobs", "2"}, {{"PATH", bin.string() + ":/usr/bin:/bin"}});
    EXPECT_EQ(failed.process.exitStatus, 1);
    EXPECT_NE(failed.errors.find("finished segments are kept"), std::string::npos) << failed.errors;
    EXPECT_FALSE(fs::exists(run->File("resumed.mkv")));
    EXPECT_TRUE(fs::exists(run->File("resumed.mkv.parts/segment-00000000.mkv")));

    const ToolRun resumed = capture("resumed.mkv", {"--jobs", "2"});
    ExpectSucceeded(resumed);
    EXPECT_NE(resumed.output.find("1 already finished"), std::string::npos) << resumed.output;
    EXPECT_EQ(ReadBytes(run->File("resumed.mkv.frames")), ReadBytes(run->File("whole.mkv.frames")));
    EXPECT_EQ(FrameDigests(*run, "resumed.mkv"), FrameDigests(*run, "whole.mkv"));

    // Killed outright once its first segment is done (by the second segment's encoder, which knows
    // when, and then encodes on): the second segment's process must end with the run, whose claim
    // the next run takes over, drawing only that segment.
    std::ofstream(bin / "ffmpeg")
        << "#!/bin/sh\nfor last in \"$@\"; do :; done\n"
        << "case \"$last\" in *segment-00000030*)\n  echo $PPID > \"${0%/*}/segment.pid\"\n"
        << "  first=\"${last%/*}/segment-00000000\"; n=0\n"
        << "  while [ ! -e \"$first.mkv\" ] || [ ! -e \"$first.mkv.frames\" ]; do\n"
        << "    n=$((n + 1)); [ $n -gt 600 ] && break; sleep 0.1\n  done\n"
        << "  kill -KILL \"$(cut -d' ' -f4 /proc/$PPID/stat)\";;\nesac\n"
        << "exec /usr/bin/ffmpeg \"$@\"\n";
    const ToolRun killed = capture("killed.mkv", {"--jobs", "2"}, {{"PATH", bin.string() + ":/usr/bin:/bin"}});
    EXPECT_EQ(killed.process.signal, SIGKILL);
    EXPECT_FALSE(fs::exists(run->File("killed.mkv")));
    EXPECT_TRUE(fs::exists(run->File("killed.mkv.parts/segment-00000000.mkv")));
    EXPECT_TRUE(EndsWithin(std::stoi(ReadBytes(bin / "segment.pid")), std::chrono::seconds(10)))
        << "the killed run's segment draws on";
    const ToolRun finished = capture("killed.mkv", {"--jobs", "2"});
    ExpectSucceeded(finished);
    EXPECT_NE(finished.output.find("1 already finished"), std::string::npos) << finished.output;
    EXPECT_EQ(ReadBytes(run->File("killed.mkv.frames")), ReadBytes(run->File("whole.mkv.frames")));
    EXPECT_EQ(FrameDigests(*run, "killed.mkv"), FrameDigests(*run, "whole.mkv"));
}

// The claim of a process that still runs (this test's) stands, and the refusal names it; a torn
// one does not stand for ever.
TEST_F(VideoSettingsTest, ASecondCaptureIntoTheSamePartsIsRefused) {
    fs::create_directory(run->File("busy.mkv.parts"));
    WriteClaim(run->File("busy.mkv.parts/lock"), getpid());
    const ToolRun second = RunCapture(*run, {"--video", "busy.mkv", "--preset", "master", "--jobs", "2"});
    EXPECT_EQ(second.process.exitStatus, 1);
    EXPECT_NE(second.errors.find("another capture works in"), std::string::npos) << second.errors;
    EXPECT_NE(second.errors.find("process " + std::to_string(getpid()) + " on "), std::string::npos) << second.errors;
    EXPECT_FALSE(fs::exists(run->File("busy.mkv")));
    EXPECT_TRUE(fs::exists(run->File("busy.mkv.parts/lock"))) << "a live claim was taken over";

    // One left empty (its process killed between creating and writing it) goes after a minute.
    std::ofstream(run->File("busy.mkv.parts/lock"), std::ios::trunc).close();
    fs::last_write_time(run->File("busy.mkv.parts/lock"), fs::file_time_type::clock::now() - std::chrono::minutes(2));
    ExpectSucceeded(RunCapture(*run, {"--video", "busy.mkv", "--preset", "master", "--jobs", "2", "--plan"}));
}

std::vector<StreamFields> Probe(const EngineRunDirectory& run, const std::string& file) {
    return ProbeStreams(run, file,
                        "codec_type,codec_name,profile,pix_fmt,color_space,color_transfer,color_primaries,"
                        "r_frame_rate,sample_rate,channels,has_b_frames");
}

TEST_F(VideoSettingsTest, TheVideoSitePresetMakesWhatTheSiteAsksFor) {
    ExpectSucceeded(RunCapture(*run, {"--video", "site.mp4", "--preset", "youtube-1080p60", "--size", kSmall,
                                      "--supersample", "1", "--to", "0.5", "--max-anisotropy", "1"}));
    std::vector<std::map<std::string, std::string>> streams = Probe(*run, "site.mp4");
    ASSERT_EQ(streams.size(), 2u);
    if (streams[0]["codec_type"] != "video") std::swap(streams[0], streams[1]);
    std::map<std::string, std::string>& picture = streams[0];
    std::map<std::string, std::string>& sound = streams[1];
    EXPECT_EQ(picture["codec_name"], "h264");
    EXPECT_EQ(picture["profile"], "High");
    EXPECT_EQ(picture["pix_fmt"], "yuv420p");
    EXPECT_EQ(picture["color_space"], "bt709");
    EXPECT_EQ(picture["color_transfer"], "bt709");
    EXPECT_EQ(picture["color_primaries"], "bt709");
    EXPECT_EQ(picture["r_frame_rate"], "60/1");
    EXPECT_EQ(sound["codec_name"], "aac");
    EXPECT_EQ(sound["profile"], "LC");
    EXPECT_EQ(sound["sample_rate"], "48000");
    EXPECT_EQ(sound["channels"], "2");
    // The index ("moov") comes before the media ("mdat"), so that playing starts before the
    // download ends.
    const std::string bytes = ReadBytes(run->File("site.mp4"));
    ASSERT_NE(bytes.find("mdat"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
}

TEST(VideoSettings, BadSettingsAreRefusedBeforeAnyFrame) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    const std::vector<std::vector<std::string>> cases = {
        {"--video", "clip.mp4", "--size", "1281x720"},
        {"--video", "clip.mp4", "--size", "20000x720"},
        {"--video", "clip.mp4", "--size", "3840x2160", "--supersample", "5"},
        {"--video", "clip.mp4", "--size", "8200x4320", "--supersample", "2"},
        {"--video", "clip.mp4", "--motion-blur", "65"},
        {"--video", "clip.mp4", "--motion-blur", "8", "--shutter", "0"},
        {"--video", "clip.mp4", "--preset", "vimeo"},
        {"--video", "clip.mp4", "--preset", "master"},
        {"--video", "clip.mp4", "--gpu", "0,,1"},
        {"--video", "clip.mp4", "--wait"},
        {"--video", "clip.mp4", "--slurm", "--gpu", "0"},
        {"--video", "clip.mp4", "--slurm", "--join"},
        {"--at", "10", "--out", "stills", "--jobs", "2"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ToolRun tool = RunCapture(run, arguments);
        ASSERT_TRUE(tool.process.exited);
        EXPECT_EQ(tool.process.exitStatus, 2) << testing::PrintToString(arguments);
        EXPECT_NE(tool.errors.find("quarn-capture: "), std::string::npos) << tool.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt"))) << "the engine must not start on bad settings";
}

TEST(VideoSettings, AnEncoderMissingFromFfmpegIsRefusedBeforeAnyFrame) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    const fs::path bin = run.File("fake-bin");
    fs::create_directory(bin);
    std::ofstream(bin / "ffmpeg") << "#!/bin/sh\necho ' V....D libx264   "
                                     "H.264'\necho ' A....D aac       AAC'\n";
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    const ToolRun tool =
        RunCapture(run, {"--video", "clip.mkv", "--preset", "master"}, {{"PATH", bin.string() + ":/usr/bin:/bin"}});
    ASSERT_TRUE(tool.process.exited);
    EXPECT_EQ(tool.process.exitStatus, 1);
    EXPECT_NE(tool.errors.find("has no ffv1 encoder"), std::string::npos) << tool.errors;
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt"))) << "the engine must not start for nothing";
}

}  // namespace
