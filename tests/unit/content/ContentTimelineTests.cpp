#include <gtest/gtest.h>

#include "formats/TrackFile.h"
#include "math/Matrix4.h"
#include "render/Camera.h"
#include "support/ContentFiles.h"
#include "support/FileText.h"
#include "sync/Sync.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kTrackNames[] = {"Effect Index",    "PostProcessor Index", "Effect Time", "Camera Distance",
                                       "Camera Pitch",    "Camera Yaw",          "Camera Roll", "Camera X Offset",
                                       "Camera Y Offset", "Fade"};
constexpr int kRowsPerBeat = 16;
constexpr int kLastRow = 432 * kRowsPerBeat;
enum Effect { kSphereMorph = 0, kGreetings = 1, kPlanet = 2, kCubeTunnel = 3 };

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quarn_timeline_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    ToolResult Compile(const std::string& timeline, const fs::path& outDir) {
        return RunTool(Quoted(ToolPath("quarn_tracktool")) + " compile " + Quoted(timeline) + " " + Quoted(outDir.string()));
    }
    ToolResult Print(const std::string& path) {
        return RunTool(Quoted(ToolPath("quarn_tracktool")) + " print " + Quoted(path));
    }

    fs::path dir_;
};

// The tracks as the player reads them.
std::map<std::string, SyncTrack> LoadRunTracks() {
    std::map<std::string, SyncTrack> tracks;
    for (const char* name : kTrackNames) {
        SyncTrack& track = tracks[name];
        track.name = name;
        EXPECT_TRUE(LoadTrackFile(RunPath(std::string("sync/_") + name + ".track").c_str(), track)) << name;
        track.keyCount = static_cast<int32_t>(track.keys.size());
    }
    return tracks;
}

}  // namespace

TEST_F(TimelineTest, EveryTrackIsCompiledWithKeys) {
    QUARN_REQUIRE_CONTENT();
    for (const auto& [name, track] : LoadRunTracks())
        EXPECT_FALSE(track.keys.empty()) << name;
}

TEST_F(TimelineTest, TextToTracksToTextRoundTrips) {
    QUARN_REQUIRE_CONTENT();
    // The authored timeline compiles to exactly what the build put in the run directory.
    ASSERT_EQ(Compile(std::string(QUARN_SOURCE_DIR) + "/data/timeline.txt", dir_ / "authored").exitCode, 0);
    const ToolResult printed = Print(RunPath("sync"));
    ASSERT_EQ(printed.exitCode, 0) << printed.output;
    ASSERT_EQ(Compile(Write("printed.txt", printed.output), dir_ / "again").exitCode, 0);
    for (const char* name : kTrackNames) {
        const std::string file = std::string("_") + name + ".track";
        const std::string original = ReadFile(RunPath("sync/" + file));
        EXPECT_FALSE(original.empty());
        EXPECT_EQ(ReadFile(dir_ / "authored" / file), original) << name;
        EXPECT_EQ(ReadFile(dir_ / "again" / file), original) << name;
    }
    EXPECT_EQ(Print((dir_ / "again").string()).output, printed.output);
}

TEST_F(TimelineTest, BadTimelinesAreRejectedNamingFileAndLine) {
    QUARN_REQUIRE_CONTENT();
    std::string valid;
    for (const char* name : kTrackNames)
        valid += std::string("[") + name + "]\n0 1 step\n";
    const struct {
        const char* fault;
        const char* expected;
    } cases[] = {
        {"[Camera Zoom]\n0 1 step\n", "bad.txt:21: unknown track \"Camera Zoom\""},
        {"[Fade]\n", "bad.txt:21: track \"Fade\" has a second section"},
        {"0 1 step\n", "bad.txt:21: rows out of order: row 0 after row 0"},
        {"-2 1 step\n", "bad.txt:21: rows out of order"},
        {"1.03 1 step\n", "bad.txt:21: position 1.03 is not a whole row"},
        {"4 1 lin\n", "bad.txt:21: unknown kind \"lin\""},
        {"4 x step\n", "bad.txt:21: bad value \"x\""},
        {"4 1\n", "bad.txt:21: expected \"position value kind\""},
    };
    for (const auto& [fault, expected] : cases) {
        SCOPED_TRACE(fault);
        const ToolResult result = Compile(Write("bad.txt", valid + fault), dir_ / "out");
        EXPECT_NE(result.exitCode, 0);
        EXPECT_NE(result.output.find(expected), std::string::npos) << result.output;
    }
    const ToolResult missing = Compile(Write("bad.txt", "[Fade]\n0 1 step\n"), dir_ / "out");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.output.find("bad.txt: no section for track \"Effect Index\""), std::string::npos);
    // Rows with a trailing 'r' are the same keys as beats.
    ASSERT_EQ(Compile(Write("rows.txt", valid + "40r 2 linear\n"), dir_ / "rows").exitCode, 0);
    ASSERT_EQ(Compile(Write("beats.txt", valid + "2.5 2 linear\n"), dir_ / "beats").exitCode, 0);
    EXPECT_EQ(ReadFile(dir_ / "rows" / "_Fade.track"), ReadFile(dir_ / "beats" / "_Fade.track"));
}

// Plays the timeline row by row with the demo's own rules (the effect picked by floor of
// "Effect Index", its clock jumped when "Effect Time" changes to a value that is not
// negative, and advanced only while it is picked) and checks the storyboard's landmarks.
TEST_F(TimelineTest, StoryboardPutsEveryLandmarkOnScreen) {
    QUARN_REQUIRE_CONTENT();
    std::map<std::string, SyncTrack> tracks = LoadRunTracks();
    auto value = [&](const char* name, int row) { return GetValue(&tracks[name], row); };

    float clocks[4] = {0, 0, 0, 0};
    float lastTime = 0.0f;
    std::map<int, float> clockAtBeat[4];
    int bloomRows = 0;
    for (int row = 0; row < kLastRow; ++row) {
        const int effect = std::min(3, static_cast<int>(std::floor(value("Effect Index", row))));
        const float time = value("Effect Time", row);
        if (time != lastTime && time >= 0.0f)
            clocks[effect] = lastTime = time;
        clockAtBeat[effect][row] = clocks[effect];
        clocks[effect] += 1.0f / kRowsPerBeat;
        bloomRows += std::floor(value("PostProcessor Index", row)) >= 1.0f;

        const int beat = row / kRowsPerBeat;
        const int expected = beat < 96 ? kPlanet : beat < 160 ? kGreetings : beat < 224 ? kSphereMorph
                           : beat < 304 ? kCubeTunnel : beat < 336 ? kSphereMorph : kGreetings;
        ASSERT_EQ(effect, expected) << "beat " << row / float(kRowsPerBeat);
    }
    EXPECT_GT(bloomRows, kLastRow * 8 / 10);
    // The sphere pulses on the music's beats, the helix is complete exactly at beat 256, and
    // the cylinders of the finale pulse on whole beats of their clock.
    EXPECT_FLOAT_EQ(clockAtBeat[kSphereMorph][160 * kRowsPerBeat], 0.0f);
    EXPECT_FLOAT_EQ(clockAtBeat[kCubeTunnel][256 * kRowsPerBeat], 32.0f);
    EXPECT_FLOAT_EQ(clockAtBeat[kSphereMorph][304 * kRowsPerBeat], 64.0f);
    const float finale = clockAtBeat[kGreetings][336 * kRowsPerBeat];
    EXPECT_EQ(finale, std::floor(finale));
}

// The camera stays inside the rooms that enclose the scenes, and in the finale it looks at
// the logo from in front.
TEST_F(TimelineTest, CameraStaysInsideEachScenesRoom) {
    QUARN_REQUIRE_CONTENT();
    std::map<std::string, SyncTrack> tracks = LoadRunTracks();
    for (int row = 0; row < kLastRow; ++row) {
        Camera camera;
        camera.distance = GetValue(&tracks["Camera Distance"], row);
        camera.pitch = GetValue(&tracks["Camera Pitch"], row);
        camera.yaw = GetValue(&tracks["Camera Yaw"], row);
        camera.roll = GetValue(&tracks["Camera Roll"], row);
        camera.xOffset = GetValue(&tracks["Camera X Offset"], row);
        camera.yOffset = GetValue(&tracks["Camera Y Offset"], row);
        const Vector4 eye = Inverse(BuildViewMatrix(camera)) * Vector4(0, 0, 0, 1);
        const int effect = static_cast<int>(GetValue(&tracks["Effect Index"], row));
        SCOPED_TRACE("beat " + std::to_string(row / float(kRowsPerBeat)));
        if (effect == kSphereMorph) {
            // The backdrop is a drum of radius 50 and half height 35.
            ASSERT_LT(std::hypot(eye.x, eye.z), 48.0f);
            ASSERT_LT(std::fabs(eye.y), 33.0f);
        } else if (effect == kCubeTunnel) {
            ASSERT_LT(std::sqrt(eye.x * eye.x + eye.y * eye.y + eye.z * eye.z), 185.0f);
        } else if (effect == kGreetings && row >= 337 * kRowsPerBeat && row < 380 * kRowsPerBeat) {
            // The logo stands at z = -15 facing -z: the eye must be on that side of it.
            ASSERT_LT(eye.z, -20.0f);
        }
    }
}
