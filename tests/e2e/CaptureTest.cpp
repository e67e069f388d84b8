// quarn-capture run as a process in a temporary run directory with the demo's data.
#include "support/EngineRunDirectory.h"
#include "support/OggWriter.h"

#include <gtest/gtest.h>

#include <stb_image.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kCapture = QUARN_RUN_DIR "/quarn-capture";
const fs::path kBuiltSoundtrack = QUARN_RUN_DIR "/Audio/tovik.ogg";
// Well inside the first Sphere morph section (beats 160 to 224).
constexpr const char* kSphereBeat = "176";
constexpr const char* kSphereStill = "beat-0176.00.png";

struct CaptureRun {
    ProcessResult process;
    std::string errors;  // what the tool wrote to stderr
};

// The tool's stderr goes to a file beside the run, through the shell.
CaptureRun RunCapture(const EngineRunDirectory& run, std::vector<std::string> arguments) {
    ProcessOptions options;
    options.executable = "/bin/sh";
    options.arguments = {"-c", "exec \"$0\" \"$@\" 2>capture-errors.txt", kCapture, "--run-dir", run.Path()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.workingDirectory = run.Path();
    options.environment = {{"ALSOFT_DRIVERS", "null"}};
    options.timeout = std::chrono::seconds(180);
    CaptureRun result{RunProcess(options), {}};
    std::ifstream errors(run.File("capture-errors.txt"));
    result.errors.assign(std::istreambuf_iterator<char>(errors), {});
    return result;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The demo's data with a soundtrack long enough for the Sphere morph: the built one when the
// content pipeline made it, otherwise a quiet sine.
bool AddLongSoundtrack(const EngineRunDirectory& run) {
    if (!fs::exists(kBuiltSoundtrack)) return run.AddSoundtrack(100.0);
    std::error_code error;
    fs::create_directory(run.File("Audio"), error);
    fs::create_symlink(kBuiltSoundtrack, run.File("Audio/tovik.ogg"), error);
    return !error;
}

struct Image {
    int width = 0, height = 0;
    std::unique_ptr<uint8_t, decltype(&stbi_image_free)> pixels{nullptr, stbi_image_free};

    // Mean red, green and blue over the square of side 2 * half around (x, y).
    std::array<double, 3> Mean(int x, int y, int half) const {
        std::array<double, 3> sum{};
        for (int row = y - half; row < y + half; ++row)
            for (int column = x - half; column < x + half; ++column)
                for (int channel = 0; channel < 3; ++channel)
                    sum[channel] += pixels.get()[(static_cast<size_t>(row) * width + column) * 3 + channel];
        for (double& channel : sum) channel /= 4.0 * half * half;
        return sum;
    }
};

double Brightness(const std::array<double, 3>& rgb) { return (rgb[0] + rgb[1] + rgb[2]) / 3.0; }

Image LoadPng(const fs::path& file) {
    Image image;
    int channels = 0;
    image.pixels.reset(stbi_load(file.c_str(), &image.width, &image.height, &channels, 3));
    return image;
}

// One capture of two stills in the Sphere morph, shared by the tests that look at it.
class CaptureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(AddLongSoundtrack(*run));
        first = new CaptureRun(RunCapture(*run, {"--at", kSphereBeat, "--at", "200.5", "--out", "first"}));
    }
    static void TearDownTestSuite() {
        delete first;
        delete run;
    }

    static void ExpectSucceeded(const CaptureRun& capture) {
        ASSERT_TRUE(capture.process.started) << capture.process.startError;
        ASSERT_TRUE(capture.process.exited) << "timed out: " << capture.process.timedOut;
        EXPECT_EQ(capture.process.exitStatus, 0) << capture.errors;
    }

    static EngineRunDirectory* run;
    static CaptureRun* first;
};

EngineRunDirectory* CaptureTest::run = nullptr;
CaptureRun* CaptureTest::first = nullptr;

TEST_F(CaptureTest, TwoRunsGiveIdenticalStills) {
    ExpectSucceeded(*first);
    const CaptureRun second = RunCapture(*run, {"--at", "200.5", "--at", kSphereBeat, "--out", "second"});
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
    };
    for (const std::vector<std::string>& arguments : cases) {
        const CaptureRun capture = RunCapture(run, arguments);
        ASSERT_TRUE(capture.process.exited);
        EXPECT_EQ(capture.process.exitStatus, 2) << testing::PrintToString(arguments);
        EXPECT_NE(capture.errors.find("usage: quarn-capture --at BEAT"), std::string::npos) << capture.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("stills")));
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt"))) << "the engine must not start on bad arguments";
}

TEST(Capture, ABeatBeyondTheSoundtrackIsRefused) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(2.0));

    // 2 s are 4.2 beats: beat 4 is still playing, beat 5 is past the end.
    const CaptureRun capture = RunCapture(run, {"--at", "4", "--at", "5", "--out", "stills"});
    ASSERT_TRUE(capture.process.exited);
    EXPECT_EQ(capture.process.exitStatus, 1);
    EXPECT_NE(capture.errors.find("beat 5.00 is beyond the end of the soundtrack"), std::string::npos)
        << capture.errors;
    EXPECT_FALSE(fs::exists(run.File("stills/beat-0004.00.png"))) << "nothing is written when one beat is refused";

    const CaptureRun within = RunCapture(run, {"--at", "4", "--out", "stills"});
    EXPECT_EQ(within.process.exitStatus, 0) << within.errors;
    EXPECT_TRUE(fs::exists(run.File("stills/beat-0004.00.png")));
}

}  // namespace
