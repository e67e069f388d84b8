// Author mode driven in this process: the player's own Engine started with --author in a
// temporary run directory, its sources a copy of data/ that the tests edit, beside stills that
// the capture tool takes of the same demo.
#include "author/AuthorSession.h"
#include "engine/Engine.h"
#include "support/CaptureTool.h"
#include "support/EngineLog.h"
#include "support/FileText.h"
#include "sync/Sync.h"
#include "WindowImage.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

namespace {

namespace fs = std::filesystem;

// One beat in each of three sections: Planet with bloom, SphereMorph with bloom, the cube tunnel.
constexpr double kSeekBeats[] = {50.25, 176.0, 283.5};
// SphereMorph without bloom: the cheapest frames to draw while the sources are edited.
constexpr double kEditBeat = 310.0;

// The frame in the window, top row first, as the capture tool's PNGs hold it.
std::vector<uint8_t> WindowPicture() {
    std::vector<uint8_t> bottomUp;
    ReadPresentedFrame(1280, 720, bottomUp);
    std::vector<uint8_t> topDown(bottomUp.size());
    const size_t stride = 1280 * 3;
    for (size_t row = 0; row < 720; ++row)
        std::copy_n(bottomUp.begin() + (719 - row) * stride, stride, topDown.begin() + row * stride);
    return topDown;
}

class AuthorModeTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(LinkBuiltSoundtrack(*run)) << "needs the built soundtrack";
    }
    static void TearDownTestSuite() { delete run; }

    // The engine in author mode, watching a fresh copy of data/.
    void SetUp() override {
        const fs::path sources = run->File("sources");
        fs::remove_all(sources);
        fs::create_directories(sources);
        fs::copy(QUARN_SOURCE_DIR "/data/timeline.txt", sources / "timeline.txt");
        fs::copy(QUARN_SOURCE_DIR "/data/Shaders", sources / "Shaders");
        previousDirectory = fs::current_path();
        fs::current_path(run->Path());
        engine.authorOptions.enabled = true;
        engine.authorOptions.watchDirectory = sources.string();
        ASSERT_TRUE(engine.Init(platform::GetModuleHandle()));
        ASSERT_TRUE(engine.author);
    }
    void TearDown() override {
        ShutDown();
        fs::current_path(previousDirectory);
    }
    // Shuts the engine down, once, so that its log is complete.
    void ShutDown() {
        if (std::exchange(shutDown, true)) return;
        engine.Shutdown();
    }

    AuthorSession& Author() { return *engine.author; }
    std::string Source(const std::string& relative) const { return run->File("sources/" + relative); }

    // Frames for a while, long enough for the watcher to see a saved file settle.
    // The watcher polls by the wall clock and reads a file once a later poll finds it unchanged,
    // so a saved file needs at least three frames some time apart. On a loaded machine a single
    // frame can outlast the whole span, hence the frame count as well as the time.
    void RunFramesFor(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        int frames = 0;
        do {
            engine.Frame();
            ++frames;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end || frames < 3);
    }

    float CameraDistanceNow() const {
        return GetValue(GetTrack("Camera Distance", gSync->device.get()), CurrentRow(*gSync));
    }

    static EngineRunDirectory* run;
    Engine engine;
    bool shutDown = false;
    fs::path previousDirectory;
};

EngineRunDirectory* AuthorModeTest::run = nullptr;

TEST_F(AuthorModeTest, APausedSeekShowsTheCaptureToolsFramePixelForPixel) {
    std::vector<std::string> arguments = {"--out", "stills"};
    for (const double beat : kSeekBeats) arguments.insert(arguments.end(), {"--at", std::to_string(beat)});
    ExpectSucceeded(RunCapture(*run, arguments));

    // Some history first: frames played elsewhere must not leak into the frames sought.
    Author().SeekTo(120.0);
    RunFramesFor(std::chrono::milliseconds(500));
    Author().TogglePause();
    for (const double beat : {kSeekBeats[1], kSeekBeats[0], kSeekBeats[2]}) {
        const auto begin = std::chrono::steady_clock::now();
        Author().SeekTo(beat);
        const std::chrono::duration<double> seek = std::chrono::steady_clock::now() - begin;
        EXPECT_LT(seek.count(), 0.5) << "seeking to beat " << beat;
        engine.Frame();
        const Image still = LoadPng(run->File("stills/" + [&] {
            char name[32];
            std::snprintf(name, sizeof name, "beat-%07.2f.png", beat);
            return std::string(name);
        }()));
        ASSERT_TRUE(still.pixels) << beat;
        const std::vector<uint8_t> shown = WindowPicture();
        const size_t differing = std::mismatch(shown.begin(), shown.end(), still.pixels.get()).first - shown.begin();
        EXPECT_EQ(differing, shown.size()) << "beat " << beat << ": first difference at byte " << differing;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(AuthorModeTest, LLoopsThePatternPlayingNowAndAgainPlaysOn) {
    Author().TogglePause();
    Author().SeekTo(40.0);
    Author().HandleKey('L');
    EXPECT_EQ(Author().Loop(), (BeatLoop{32.0, 48.0}));
    // Sought away from it, the loop moves to the pattern playing there rather than ending.
    Author().SeekTo(100.0);
    Author().HandleKey('L');
    EXPECT_EQ(Author().Loop(), (BeatLoop{96.0, 112.0}));
    Author().HandleKey('L');
    EXPECT_FALSE(Author().Loop());
}

TEST_F(AuthorModeTest, ASavedTimelineMovesTheCameraAndABrokenOneKeepsTheTracks) {
    Author().TogglePause();
    Author().SeekTo(kEditBeat);
    engine.Frame();
    const float before = CameraDistanceNow();

    // The camera's distance becomes 77 everywhere.
    std::ifstream in(Source("timeline.txt"));
    std::string timeline((std::istreambuf_iterator<char>(in)), {});
    const std::string header = "[Camera Distance]\n";
    const size_t keys = timeline.find(header) + header.size();
    ASSERT_GE(keys, header.size());
    timeline.replace(keys, timeline.find("\n[", keys) + 1 - keys, "0 77 step\n\n");
    WriteFile(Source("timeline.txt"), timeline);
    RunFramesFor(std::chrono::milliseconds(800));
    EXPECT_NE(before, 77.0f);
    EXPECT_EQ(CameraDistanceNow(), 77.0f) << "the saved timeline did not reach the camera track";

    WriteFile(Source("timeline.txt"), timeline + "[Camera Distance]\n0 1 step\n");
    RunFramesFor(std::chrono::milliseconds(800));
    EXPECT_EQ(CameraDistanceNow(), 77.0f) << "a timeline with a mistake replaced the tracks";
    ShutDown();
    const EngineLog log = ReadEngineLog(run->File("LogFile.txt"));
    const int refused = FindLineStartingWith(log, "ERROR: Timeline Not Reloaded, The Previous Tracks Stay: ");
    ASSERT_GE(refused, 0);
    EXPECT_NE(log.lines[refused].find("timeline.txt:"), std::string::npos) << "no file and line: " << log.lines[refused];
    EXPECT_NE(log.lines[refused].find("second section"), std::string::npos) << log.lines[refused];
}

TEST_F(AuthorModeTest, ABrokenShaderKeepsTheOldProgramAndASoundOneIsDrawnAtOnce) {
    Author().TogglePause();
    Author().SeekTo(kEditBeat);
    engine.Frame();
    const std::vector<uint8_t> before = WindowPicture();
    const size_t centre = (360 * 1280 + 640) * 3;
    ASSERT_GT(before[centre + 2], before[centre]) << "the sphere's blue is not in the centre";

    const std::string sphere = Source("Shaders/SphereMorph.frag");
    std::ifstream in(sphere);
    const std::string sound((std::istreambuf_iterator<char>(in)), {});
    WriteFile(sphere, sound + "\nthis is not GLSL\n");
    RunFramesFor(std::chrono::milliseconds(800));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(WindowPicture() == before) << "the picture changed although the edit did not compile";

    WriteFile(sphere, "#version 330 core\nout vec4 FragColor;\nvoid main() { FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
    RunFramesFor(std::chrono::milliseconds(800));
    const std::vector<uint8_t> after = WindowPicture();
    EXPECT_GT(after[centre], 200) << "the rebuilt program does not draw the sphere";
    EXPECT_LT(after[centre + 2], 50) << "the rebuilt program does not draw the sphere";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    ShutDown();
    const EngineLog log = ReadEngineLog(run->File("LogFile.txt"));
    EXPECT_GE(FindLineStartingWith(log, "ERROR: Failed to compile fragment shader: "), 0);
    EXPECT_GE(FindLineStartingWith(log, "ERROR: Shader Not Reloaded, The Previous Program Stays: "), 0);
    EXPECT_GE(FindLineStartingWith(log, "Shader Reloaded: "), 0);
}

}  // namespace
