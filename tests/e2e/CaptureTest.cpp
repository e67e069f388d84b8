// quarn-capture run as a process in a temporary run directory with the demo's data.
#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Well inside the first Sphere morph section (beats 160 to 224).
constexpr const char* kSphereBeat = "176";
constexpr const char* kSphereStill = "beat-0176.00.png";

// The demo's data with a soundtrack long enough for the Sphere morph: the built one when the
// content pipeline made it, otherwise a quiet chirp.
bool AddLongSoundtrack(const EngineRunDirectory& run) {
    return LinkBuiltSoundtrack(run) || run.AddSoundtrack(100.0);
}

// One capture of two stills in the Sphere morph, shared by the tests that look at it.
class CaptureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(AddLongSoundtrack(*run));
        first = new ToolRun(RunCapture(*run, {"--at", kSphereBeat, "--at", "200.5", "--out", "first"}));
    }
    static void TearDownTestSuite() {
        delete first;
        delete run;
    }

    static EngineRunDirectory* run;
    static ToolRun* first;
};

EngineRunDirectory* CaptureTest::run = nullptr;
ToolRun* CaptureTest::first = nullptr;

TEST_F(CaptureTest, TwoRunsGiveIdenticalStills) {
    ExpectSucceeded(*first);
    const ToolRun second = RunCapture(*run, {"--at", "200.5", "--at", kSphereBeat, "--out", "second"});
    ExpectSucceeded(second);
    for (const char* still : {kSphereStill, "beat-0200.50.png"}) {
        const std::string bytes = ReadBytes(run->File("first/") + still);
        EXPECT_GT(bytes.size(), 1000u) << still;
        EXPECT_TRUE(bytes == ReadBytes(run->File("second/") + still)) << still << " differs between runs";
    }
}

TEST_F(CaptureTest, SphereMorphStillShowsTheSphereInTheCentre) {
    ExpectSucceeded(*first);
    const Image image = LoadPng(run->File("first/") + kSphereStill);
    ASSERT_TRUE(image.pixels);
    ASSERT_EQ(image.width, 1280);
    ASSERT_EQ(image.height, 720);

    // The lit blue sphere fills the middle of the frame; the backdrop around it is dark.
    const std::array<double, 3> centre = image.Mean(640, 360, 20);
    EXPECT_GT(centre[2], 150.0) << "no lit sphere in the centre";
    EXPECT_GT(centre[2], centre[0] + 80.0) << "the centre is not the sphere's blue";
    for (const auto& [x, y] : {std::pair{40, 40}, {1240, 40}, {40, 680}, {1240, 680}})
        EXPECT_LT(Brightness(image.Mean(x, y, 20)), Brightness(centre) / 2.0) << "corner " << x << ", " << y;
}

// A sheet of the same two moments holds the two stills shrunk to a fifth, side by side.
TEST_F(CaptureTest, ASheetHoldsTheStillsShrunkInARow) {
    ExpectSucceeded(*first);
    const ToolRun sheetRun =
        RunCapture(*run, {"--sheet", "sheet.png", "--every", "24.5", "--from", kSphereBeat, "--to", "200.5"});
    ExpectSucceeded(sheetRun);
    const Image sheet = LoadPng(run->File("sheet.png"));
    ASSERT_TRUE(sheet.pixels);
    EXPECT_EQ(sheet.width, 2 * (256 + 4) + 4);
    EXPECT_EQ(sheet.height, 144 + 2 * 4);

    int index = 0;
    for (const char* still : {kSphereStill, "beat-0200.50.png"}) {
        const Image frame = LoadPng(run->File("first/") + still);
        ASSERT_TRUE(frame.pixels) << still;
        // Below the label in the thumbnail's top-left corner, every thumbnail pixel is the mean
        // of the 5 x 5 frame pixels it stands for.
        double difference = 0.0;
        int compared = 0;
        for (int y = 30; y < 144; y += 7)
            for (int x = 0; x < 256; x += 7) {
                std::array<double, 3> sum{};
                for (int dy = 0; dy < 5; ++dy)
                    for (int dx = 0; dx < 5; ++dx)
                        for (int c = 0; c < 3; ++c) sum[c] += frame.Pixel(5 * x + dx, 5 * y + dy)[c];
                const std::array<uint8_t, 3> thumb = sheet.Pixel(4 + index * 260 + x, 4 + y);
                for (int c = 0; c < 3; ++c) difference += std::abs(sum[c] / 25.0 - thumb[c]);
                compared += 3;
            }
        EXPECT_LT(difference / compared, 1.0) << still;
        ++index;
    }
}

// A still that takes long says how far it is. On this software rasteriser the run up to beat 176
// and 64 renders take several seconds; a machine that is done sooner needs no line.
TEST(Capture, ALongStillShowsItsProgress) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(AddLongSoundtrack(run));
    const ToolRun still = RunCapture(run, {"--at", kSphereBeat, "--out", "slow", "--size", "160x90", "--motion-blur",
                                           "64", "--max-anisotropy", "1"});
    ExpectSucceeded(still);
    const size_t took = still.output.rfind(", ");
    ASSERT_NE(took, std::string::npos) << still.output;
    const double seconds = std::atof(still.output.c_str() + took + 2);
    std::printf("the still took %.1f s\n", seconds);
    if (seconds < 3.0) GTEST_SKIP() << "the still took only " << seconds << " s";
    EXPECT_NE(still.errors.find("beat 176.00: "), std::string::npos) << still.errors;
    EXPECT_NE(still.errors.find(" left"), std::string::npos) << still.errors;
}

// OpenAL with no output it could open: sheets never ask for one (stills: the test below; video:
// SegmentedCaptureTest). An EGL device beyond the last one is named, with how many there are and
// EGL's own error by name.
TEST(Capture, NeedsNoSoundDeviceAndNamesAMissingGpu) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(3.0));
    ExpectSucceeded(RunCapture(run, {"--sheet", "silent.png", "--every", "1", "--to", "0.5"},
                               {{"ALSOFT_DRIVERS", "nonexistent"}}));
    EXPECT_TRUE(fs::exists(run.File("silent.png")));

    const ToolRun tool = RunCapture(run, {"--at", "1", "--out", "stills", "--gpu", "15"});
    EXPECT_EQ(tool.process.exitStatus, 1);
    EXPECT_NE(tool.errors.find("there is no EGL device 15; EGL lists "), std::string::npos) << tool.errors;
    EXPECT_EQ(tool.errors.find("0x3000"), std::string::npos) << "EGL's success code given as the error";
}

TEST(Capture, BadArgumentsGiveTheUsageAndNoStill) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--at", "10"},
        {"--out", "stills"},
        {"--at", "ten", "--out", "stills"},
        {"--at", "-1", "--out", "stills"},
        {"--at", "nan", "--out", "stills"},
        {"--at"},
        {"--at", "10", "--out", "stills", "--frames", "3"},
        {"--sheet", "sheet.png"},
        {"--sheet", "sheet.jpg", "--every", "4"},
        {"--sheet", "sheet.png", "--every", "0"},
        {"--sheet", "sheet.png", "--every", "4", "--at", "10", "--out", "stills"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ToolRun capture = RunCapture(run, arguments);
        ASSERT_TRUE(capture.process.exited);
        EXPECT_EQ(capture.process.exitStatus, 2) << testing::PrintToString(arguments);
        EXPECT_NE(capture.errors.find("usage: quarn-capture --at BEAT"), std::string::npos) << capture.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("stills")));
    EXPECT_FALSE(fs::exists(run.File("sheet.png")));
    EXPECT_FALSE(fs::exists(run.File("sheet.png.log"))) << "the engine must not start on bad arguments";

    // Run bare, as the README suggests, it gives the usage alone, not the first option missing.
    const ToolRun bare = RunTool(run, QUARN_RUN_DIR "/quarn-capture", {});
    EXPECT_EQ(bare.process.exitStatus, 2);
    EXPECT_TRUE(bare.errors.starts_with("usage: quarn-capture --at BEAT")) << bare.errors;

    // A mistyped option is named as such, not taken for one that lacks its value.
    const ToolRun typo = RunCapture(run, {"--hlep"});
    EXPECT_NE(typo.errors.find("unknown argument: --hlep"), std::string::npos) << typo.errors;
}

TEST(Capture, ABeatBeyondTheSoundtrackIsRefused) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(2.0));

    // 2 s are 4.2 beats: beat 4 is still playing, beat 5 is past the end.
    const ToolRun capture = RunCapture(run, {"--at", "4", "--at", "5", "--out", "stills"});
    ASSERT_TRUE(capture.process.exited);
    EXPECT_EQ(capture.process.exitStatus, 1);
    EXPECT_NE(capture.errors.find("beat 5.00 is beyond the end of the soundtrack"), std::string::npos)
        << capture.errors;
    EXPECT_FALSE(fs::exists(run.File("stills/beat-0004.00.png"))) << "nothing is written when one beat is refused";

    const ToolRun within = RunCapture(run, {"--at", "4", "--out", "stills"});
    EXPECT_EQ(within.process.exitStatus, 0) << within.errors;
    EXPECT_TRUE(fs::exists(run.File("stills/beat-0004.00.png")));

    // Without a sound card the soundtrack is still there to take the positions from: the capture
    // never opens a sound device.
    const ToolRun soundless =
        RunCapture(run, {"--at", "4", "--out", "soundless"}, {{"ALSOFT_DRIVERS", "no-such-output"}});
    EXPECT_EQ(soundless.process.exitStatus, 0) << soundless.errors;
    EXPECT_EQ(ReadBytes(run.File("soundless/beat-0004.00.png")), ReadBytes(run.File("stills/beat-0004.00.png")));
}

}  // namespace
