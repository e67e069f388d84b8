// The player on screens of other shapes: --window at sizes that are not 16:9 letterboxes the
// picture and draws it at the size it gets there; --desktop draws at the desktop's resolution.
#include "author/AuthorSession.h"
#include "engine/Engine.h"
#include "support/CaptureTool.h"
#include "support/EngineLog.h"
#include "WindowImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kPlayer = QUARN_RUN_DIR "/QuarnEngine";
// SphereMorph under the bloom: a lit object with a glow, the picture-sized targets in use.
constexpr double kBeat = 176.0;

struct WindowFrame {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // bottom row first, as GL reads it

    const uint8_t* At(int x, int yFromTop) const { return &rgb[(static_cast<size_t>(height - 1 - yFromTop) * width + x) * 3]; }
};

// The still's colour at a picture pixel's centre, the still scaled to the picture's size.
double StillChannel(const Image& still, double u, double v, int channel) {
    const double x = std::clamp(u * still.width - 0.5, 0.0, still.width - 1.0);
    const double y = std::clamp(v * still.height - 0.5, 0.0, still.height - 1.0);
    const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    const int x1 = std::min(x0 + 1, still.width - 1), y1 = std::min(y0 + 1, still.height - 1);
    const double fx = x - x0, fy = y - y0;
    const auto p = [&](int px, int py) { return static_cast<double>(still.Pixel(px, py)[channel]); };
    return (p(x0, y0) * (1 - fx) + p(x1, y0) * fx) * (1 - fy) + (p(x0, y1) * (1 - fx) + p(x1, y1) * fx) * fy;
}

struct Comparison {
    double psnr = 0.0;
    int brightestBar = 0;  // the largest channel value outside the picture
};

// The picture is the rectangle the renderer drew at; everything else must be the bars.
Comparison Compare(const WindowFrame& frame, int pictureX, int pictureTop, int pictureWidth, int pictureHeight,
                   const Image& still) {
    Comparison result;
    double squared = 0.0;
    long samples = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t* shown = frame.At(x, y);
            const bool inside = x >= pictureX && x < pictureX + pictureWidth && y >= pictureTop &&
                                y < pictureTop + pictureHeight;
            for (int channel = 0; channel < 3; ++channel) {
                if (!inside) {
                    result.brightestBar = std::max<int>(result.brightestBar, shown[channel]);
                    continue;
                }
                const double u = (x - pictureX + 0.5) / pictureWidth, v = (y - pictureTop + 0.5) / pictureHeight;
                const double difference = shown[channel] - StillChannel(still, u, v, channel);
                squared += difference * difference;
                ++samples;
            }
        }
    result.psnr = 10.0 * std::log10(255.0 * 255.0 / std::max(squared / samples, 1e-9));
    return result;
}

class ScreenModesTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(LinkBuiltSoundtrack(*run)) << "needs the built soundtrack";
    }
    static void TearDownTestSuite() { delete run; }

    // The player in author mode (to stop at a beat) in a window of this client size.
    WindowFrame ShowInWindow(int width, int height, float& drawnWidth, float& drawnHeight) {
        const fs::path previous = fs::current_path();
        fs::current_path(run->Path());
        Engine engine;
        engine.authorOptions.enabled = true;
        engine.authorOptions.screen = ScreenOptions{ScreenMode::kWindow, width, height};
        WindowFrame frame{width, height, {}};
        if (engine.Init(platform::GetModuleHandle()) && engine.author) {
            engine.author->TogglePause();
            engine.author->SeekTo(kBeat);
            engine.Frame();
            ReadPresentedFrame(width, height, frame.rgb);
            WritePng(run->File("window-" + std::to_string(width) + "x" + std::to_string(height) + ".png"), width,
                     height, frame.rgb);
            drawnWidth = engine.renderer->width;
            drawnHeight = engine.renderer->height;
        }
        engine.Shutdown();
        fs::current_path(previous);
        return frame;
    }

    static EngineRunDirectory* run;
};

EngineRunDirectory* ScreenModesTest::run = nullptr;

// Bars on both axes: a window narrower than 16:9 and one wider. The picture is the 1280x720 still
// scaled to the place it gets, drawn there natively: geometry rasterised at 960x540 differs from a
// rescaled still only along edges and in fine texture detail (45 dB here on llvmpipe), so 35 dB
// leaves room for another rasteriser, while the picture squeezed by 4 pixels scores 28 to 30 dB
// and stretched over the whole window 18 dB.
// At 1600x720 the picture is 1280x720 again, the very frame of the still (identical here).
TEST_F(ScreenModesTest, AWindowLetterboxesThePictureDrawnAtItsOwnSize) {
    ExpectSucceeded(RunCapture(*run, {"--out", "stills", "--at", std::to_string(kBeat)}));
    char name[32];
    std::snprintf(name, sizeof name, "beat-%07.2f.png", kBeat);
    const Image still = LoadPng(run->File(std::string("stills/") + name));
    ASSERT_TRUE(still.pixels);
    ASSERT_EQ(still.width, 1280);

    struct Case {
        int width, height;            // the window's client size
        int x, top, pictureWidth, pictureHeight;  // where the picture must lie
        double minimumPsnr;
    };
    for (const Case& shape : {Case{960, 720, 0, 90, 960, 540, 35.0}, Case{1600, 720, 160, 0, 1280, 720, 50.0}}) {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
        float drawnWidth = 0.0f, drawnHeight = 0.0f;
        const WindowFrame frame = ShowInWindow(shape.width, shape.height, drawnWidth, drawnHeight);
        ASSERT_FALSE(frame.rgb.empty()) << "the player did not start";
        EXPECT_EQ(drawnWidth, shape.pictureWidth);
        EXPECT_EQ(drawnHeight, shape.pictureHeight);
        const Comparison compared = Compare(frame, shape.x, shape.top, shape.pictureWidth, shape.pictureHeight, still);
        std::printf("%dx%d window: picture PSNR %.2f dB against the scaled still, brightest bar value %d\n",
                    shape.width, shape.height, compared.psnr, compared.brightestBar);
        EXPECT_GE(compared.psnr, shape.minimumPsnr);
        EXPECT_EQ(compared.brightestBar, 0);
    }
}

// Full screen without a mode change: the window and the picture are the desktop's size, which is
// not the 1280x720 the display mode would have been.
TEST(ScreenModes, TheDesktopIsDrawnAtItsOwnResolution) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(2.0));

    const ProcessResult result = run.RunPlayerOnScreen(kPlayer, "1920x1080x24", {"--desktop"});
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_TRUE(result.exited && !result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ASSERT_TRUE(log.readable);
    EXPECT_GT(FindLine(log, "Picture Size: 1920x1080 In A 1920x1080 Window"), 0);
    EXPECT_EQ(FindLine(log, "Full Screen Mode Unavailable, Using A Window."), -1);
    EXPECT_EQ(FindLineStartingWith(log, "ERROR: "), -1);
}

}  // namespace
