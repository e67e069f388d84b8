// quarn-capture --video run as a process in a temporary run directory with the demo's data:
// the file ffprobe sees, its frames against stills, and the ways a capture can fail.
#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// In the first Sphere morph section, whose sphere and particles move on every frame. Beat 176.4
// is 84.0 s, on a frame at any whole rate; beat 177.1 is 84.333 s, 20 frames later at 60 per second.
constexpr const char* kFrom = "176.4";
constexpr const char* kLaterBeat = "177.1";
constexpr const char* kLaterStill = "stills/beat-0177.10.png";
constexpr int kLaterFrame = 20;

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// What a capture leaves in `directory` under a name other than the one it was given.
std::vector<std::string> PartFiles(const fs::path& directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        if (entry.path().extension() == ".part" || entry.path().extension() == ".claim") names.push_back(entry.path().filename().string());
    return names;
}

std::vector<StreamFields> ProbeStreams(const EngineRunDirectory& run, const std::string& file) {
    return ProbeStreams(run, file, "codec_type,codec_name,pix_fmt,width,height,nb_read_frames,start_time,duration",
                        {"-count_frames"});
}

// The demo's data with a soundtrack that reaches the Sphere morph, shared by the tests.
class VideoCaptureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(run->AddSoundtrack(90.0));
    }
    static void TearDownTestSuite() { delete run; }

    static EngineRunDirectory* run;
};

EngineRunDirectory* VideoCaptureTest::run = nullptr;

// Two beats at 10 frames per second: 0.952 s, which ten frames of 0.1 s cover.
TEST_F(VideoCaptureTest, FfprobeSeesTheFramesTheDurationAndTheSound) {
    const ToolRun video = RunCapture(*run, {"--video", "clip.mp4", "--fps", "10", "--from", kFrom, "--to", "178.4",
                                            "--max-anisotropy", "1"});
    ExpectSucceeded(video);
    const std::vector<std::map<std::string, std::string>> streams = ProbeStreams(*run, "clip.mp4");
    ASSERT_EQ(streams.size(), 2u) << "want one picture and one sound stream";
    std::map<std::string, std::string> picture = streams[0], sound = streams[1];
    if (picture["codec_type"] != "video") std::swap(picture, sound);

    EXPECT_EQ(picture["codec_type"], "video");
    EXPECT_EQ(picture["codec_name"], "h264");
    EXPECT_EQ(picture["pix_fmt"], "yuv420p");
    EXPECT_EQ(picture["width"], "1280");
    EXPECT_EQ(picture["height"], "720");
    EXPECT_EQ(picture["nb_read_frames"], "10");
    EXPECT_NEAR(std::atof(picture["duration"].c_str()), 1.0, 0.001);

    EXPECT_EQ(sound["codec_type"], "audio");
    EXPECT_EQ(sound["codec_name"], "aac");
    // AAC comes in frames of 1024 samples; the edit list trims the last one to the picture.
    EXPECT_NEAR(std::atof(sound["duration"].c_str()), 1.0, 0.03);
    // The sound of the first frame plays with it: the encoder's priming samples are cut off.
    EXPECT_NEAR(std::atof(sound["start_time"].c_str()), std::atof(picture["start_time"].c_str()), 0.001);

    EXPECT_NE(video.errors.find("frame 10 of 10  100.0%"), std::string::npos) << video.errors;
    EXPECT_TRUE(PartFiles(run->Path()).empty()) << testing::PrintToString(PartFiles(run->Path()));
}

// Stills are the player's frames at 60 per second, so the video here is too: at another rate
// the moving parts step differently.
TEST_F(VideoCaptureTest, AVideoFrameIsTheStillAtItsBeat) {
    const ToolRun video =
        RunCapture(*run, {"--video", "clip60.mp4", "--from", kFrom, "--to", "177.2", "--max-anisotropy", "1"});
    ExpectSucceeded(video);
    ExpectSucceeded(
        RunCapture(*run, {"--at", kFrom, "--at", kLaterBeat, "--out", "stills", "--max-anisotropy", "1"}));
    const std::string select = "select='eq(n,0)+eq(n," + std::to_string(kLaterFrame) + ")'";
    ExpectSucceeded(RunTool(*run, "/usr/bin/ffmpeg",
                            {"-v", "error", "-i", "clip60.mp4", "-vf", select, "-vsync", "passthrough", "frame-%d.png"}));
    const Image first = LoadPng(run->File("frame-1.png"));
    const Image later = LoadPng(run->File("frame-2.png"));
    const Image firstStill = LoadPng(run->File("stills/beat-0176.40.png"));
    const Image laterStill = LoadPng(run->File(kLaterStill));

    const double same = MeanDifference(first, firstStill);
    const double sameLater = MeanDifference(later, laterStill);
    const double apart = MeanDifference(first, laterStill);
    ASSERT_GE(same, 0.0);
    ASSERT_GE(sameLater, 0.0);
    ASSERT_GE(apart, 0.0);
    std::printf("mean difference: same frame %.2f and %.2f, a third of a second apart %.2f\n", same, sameLater, apart);
    // yuv420p's halved colour on the thin lines and sparks accounts for most of the two levels
    // per channel left between a still and its frame (1.7 here); H.264 at this quality adds little.
    EXPECT_LT(same, 3.0);
    EXPECT_LT(sameLater, 3.0);
    EXPECT_GT(apart, 3.0 * std::max(same, sameLater)) << "the frames are not told apart from their neighbours";
}

// A stretch of the Planet effect, quick to draw, in a run of its own with a short soundtrack.
class VideoCaptureFailureTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.Valid());
        ASSERT_TRUE(run.AddDemoData());
        ASSERT_TRUE(run.AddSoundtrack(3.0));
    }

    // A stand-in for ffmpeg, first on PATH, running `script` (sh) in its place.
    Environment FakeFfmpeg(const std::string& script) const {
        const fs::path directory = run.File("fake-bin");
        fs::create_directory(directory);
        std::ofstream(directory / "ffmpeg") << "#!/bin/sh\n" << script << "\n";
        fs::permissions(directory / "ffmpeg", fs::perms::owner_all);
        return {{"PATH", directory.string() + ":/usr/bin:/bin"}};
    }

    ToolRun Capture(Environment environment = {}, const std::string& file = "out/clip.mp4") const {
        return RunCapture(run, {"--video", file, "--fps", "10", "--from", "0", "--to", "2"}, std::move(environment));
    }

    void ExpectNoVideo(const ToolRun& tool, const std::string& reason, int status = 1) const {
        ASSERT_TRUE(tool.process.exited) << "timed out: " << tool.process.timedOut;
        EXPECT_EQ(tool.process.exitStatus, status) << tool.errors;
        EXPECT_NE(tool.errors.find(reason), std::string::npos) << tool.errors;
        EXPECT_FALSE(fs::exists(run.File("out/clip.mp4")));
        if (fs::exists(run.File("out"))) {
            EXPECT_TRUE(PartFiles(run.File("out")).empty()) << testing::PrintToString(PartFiles(run.File("out")));
        }
    }

    EngineRunDirectory run;
};

TEST_F(VideoCaptureFailureTest, AMissingDirectoryIsRefusedBeforeAnyFrame) {
    const ToolRun tool = Capture();
    ExpectNoVideo(tool, "cannot write into \"" + run.File("out") + "\": No such file or directory");
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt"))) << "the engine must not start for nothing";
}

TEST_F(VideoCaptureFailureTest, WithoutFfmpegItSaysHowToInstallIt) {
    fs::create_directory(run.File("out"));
    ExpectNoVideo(Capture({{"PATH", run.File("empty-bin")}}), "sudo apt-get install ffmpeg");
}

// An ffmpeg that dies after a frame, leaving a broken file behind.
TEST_F(VideoCaptureFailureTest, AFailingFfmpegLeavesNoFile) {
    fs::create_directory(run.File("out"));
    const ToolRun tool = Capture(FakeFfmpeg(
        "for last in \"$@\"; do :; done\nhead -c 2764800 >/dev/null\necho broken >\"$last\"\n"
        "echo 'fake ffmpeg: no space left' >&2\nexit 1"));
    ExpectNoVideo(tool, "ffmpeg failed (exit status 1)");
    EXPECT_NE(tool.errors.find("fake ffmpeg: no space left"), std::string::npos) << "ffmpeg's own reason is shown";
}

// The interrupt comes from the stand-in, as Ctrl-C would from the terminal, once a frame is in.
TEST_F(VideoCaptureFailureTest, AnInterruptStopsTheCaptureAndLeavesNoFile) {
    fs::create_directory(run.File("out"));
    const ToolRun tool = Capture(FakeFfmpeg(
        "for last in \"$@\"; do :; done\nhead -c 2764800 >/dev/null\necho partial >\"$last\"\n"
        "kill -INT $PPID\nexec cat >/dev/null"));
    ExpectNoVideo(tool, "interrupted at frame", 130);
}

// What stands in the way of the output is found before the engine starts, and a failure leaves
// nothing of its own; a killed run's hidden file goes with the next run into the same name.
TEST_F(VideoCaptureFailureTest, BadOutputPathsAreRefusedBeforeAnyFrame) {
    fs::create_directories(run.File("out/clip.mp4"));
    std::ofstream(run.File("out/notes.mp4.frames")) << "my notes\n";
    fs::create_directories(run.File("out/busy.mp4.parts/mine"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--video", "out/clip.mp4"}, "is a folder, not a video file"},
        {{"--video", "out/notes.mp4"}, "notes.mp4.frames\" is there and is not a frame list"},
        {{"--video", "out/busy.mp4", "--jobs", "2"}, "busy.mp4.parts\" is there and is not a parts folder"},
    };
    for (const auto& [arguments, reason] : refused) {
        const ToolRun tool = RunCapture(run, arguments);
        EXPECT_EQ(tool.process.exitStatus, 1) << testing::PrintToString(arguments);
        EXPECT_NE(tool.errors.find(reason), std::string::npos) << tool.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt"))) << "the engine must not start for nothing";
    EXPECT_FALSE(fs::exists(run.File("out/clip.mp4.frames")));
    EXPECT_EQ(ReadBytes(run.File("out/notes.mp4.frames")), "my notes\n");

    // Past the soundtrack's end: the engine has started, and the parts folder made for the
    // segments goes again.
    const ToolRun late = RunCapture(run, {"--video", "out/late.mp4", "--jobs", "2", "--from", "100"});
    EXPECT_EQ(late.process.exitStatus, 1);
    EXPECT_NE(late.errors.find("no frame to capture"), std::string::npos) << late.errors;
    EXPECT_FALSE(fs::exists(run.File("out/late.mp4.parts")));

    // One hidden file of a killed run, one of a run still at work: their claims say whose they are.
    const pid_t ended = EndedProcess();
    const std::string killed = run.File("out/.done.mp4." + std::to_string(ended) + ".part");
    const std::string working = run.File("out/.done.mp4." + std::to_string(getpid()) + ".part");
    std::ofstream(killed) << "killed";
    WriteClaim(killed + ".claim", ended);
    std::ofstream(working) << "working";
    WriteClaim(working + ".claim", getpid());
    ExpectSucceeded(Capture({}, "out/done.mp4"));
    EXPECT_FALSE(fs::exists(killed) || fs::exists(killed + ".claim"));
    EXPECT_TRUE(fs::exists(working)) << "a running capture's file was taken";
    EXPECT_TRUE(fs::exists(run.File("out/done.mp4.frames")));
}

TEST(VideoCaptureOptions, NonsenseGivesTheUsageAndNoFile) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    const std::vector<std::vector<std::string>> cases = {
        {"--video", "clip.avi"},
        {"--video", "clip.mp4", "--fps", "0"},
        {"--video", "clip.mp4", "--fps", "29.97"},
        {"--video", "clip.mp4", "--from", "10", "--to", "10"},
        {"--video", "clip.mp4", "--at", "10", "--out", "stills"},
        {"--video", "clip.mp4", "--max-anisotropy", "0.5"},
        {"--at", "10", "--out", "stills", "--fps", "30"},
        {"--video"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ToolRun tool = RunCapture(run, arguments);
        ASSERT_TRUE(tool.process.exited);
        EXPECT_EQ(tool.process.exitStatus, 2) << testing::PrintToString(arguments);
        EXPECT_NE(tool.errors.find("quarn-capture --video FILE.mp4"), std::string::npos) << tool.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("clip.mp4")));
    EXPECT_FALSE(fs::exists(run.File("clip.avi")));
}

}  // namespace
