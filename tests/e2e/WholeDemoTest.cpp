// The whole demo as authored, with the built soundtrack: one capture steps every frame from the
// start to a still in the finale, and each section's still is checked for what makes it that
// section, by a landmark that a black frame, or a frame of another section, does not have.
#include "support/CaptureTool.h"
#include "support/EngineLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

// One beat in every section of data/timeline.txt.
constexpr double kPlanetSphere = 20;     // Planet: the emitter's sphere round the planet
constexpr double kPlanetButterfly = 50;  // Planet: the butterfly
constexpr double kGreeting = 152;        // Greetings: a name shown, the camera down the tube
constexpr double kSphereMorph = 176;
constexpr double kCubeTunnel = 283;  // the gems lit, in the sideways sweep
constexpr double kSphereMorphAgain = 320;
constexpr double kFinale = 360;  // Greetings again: the logo and the credits
constexpr double kBeats[] = {kPlanetSphere, kPlanetButterfly, kGreeting, kSphereMorph,
                             kCubeTunnel, kSphereMorphAgain, kFinale};

constexpr int kWidth = 1280, kHeight = 720;

std::string BeatText(double beat) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", beat);
    return text;
}

std::string StillName(double beat) {
    char name[48];
    std::snprintf(name, sizeof name, "stills/beat-%07.2f.png", beat);
    return name;
}

using Rgb = std::array<uint8_t, 3>;

int Lightest(const Rgb& rgb) { return std::max({rgb[0], rgb[1], rgb[2]}); }
int Darkest(const Rgb& rgb) { return std::min({rgb[0], rgb[1], rgb[2]}); }
double Lightness(const Rgb& rgb) { return (rgb[0] + rgb[1] + rgb[2]) / 3.0; }
double Saturation(const Rgb& rgb) {
    return Lightest(rgb) == 0 ? 0.0 : double(Lightest(rgb) - Darkest(rgb)) / Lightest(rgb);
}

// Which sixth of the colour wheel, rounded: 0 red, 1 yellow, 2 green, 3 cyan, 4 blue, 5 magenta.
// Only for pixels with some colour.
int HueSixth(const Rgb& rgb) {
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double spread = Lightest(rgb) - Darkest(rgb);
    double hue = 0.0;  // in sixths, -1 to 5
    if (Lightest(rgb) == rgb[0])
        hue = (g - b) / spread;
    else if (Lightest(rgb) == rgb[1])
        hue = 2.0 + (b - r) / spread;
    else
        hue = 4.0 + (r - g) / spread;
    return static_cast<int>(hue + 6.5) % 6;
}

bool Dark(const Rgb& rgb) { return Lightness(rgb) < 40.0; }
bool Lit(const Rgb& rgb) { return !Dark(rgb); }
bool Vivid(const Rgb& rgb) { return Lightest(rgb) > 150 && Saturation(rgb) > 0.5; }
bool Glowing(const Rgb& rgb) { return Lightest(rgb) > 180 && Saturation(rgb) > 0.25; }
bool White(const Rgb& rgb) { return Darkest(rgb) > 200; }
bool Ember(const Rgb& rgb) { return rgb[0] > 150 && rgb[0] > rgb[1] + 20 && rgb[1] > rgb[2] + 20; }
bool Blue(const Rgb& rgb) { return rgb[2] > 100 && rgb[2] > rgb[0] + 50 && rgb[2] >= rgb[1]; }

// Pixels from (left, top) up to, not including, (right, bottom).
struct Region {
    int left, top, right, bottom;
};
constexpr Region kWholeFrame{0, 0, kWidth, kHeight};
constexpr Region kUpperHalf{0, 0, kWidth, kHeight / 2};
constexpr Region kCentre{560, 280, 720, 440};

bool IsFrame(const Image& image) { return image.pixels && image.width == kWidth && image.height == kHeight; }

// The share of the region's pixels that pass `test`, 0 to 1.
double Share(const Image& image, const Region& region, const std::function<bool(const Rgb&)>& test) {
    int passing = 0;
    for (int y = region.top; y < region.bottom; ++y)
        for (int x = region.left; x < region.right; ++x) passing += test(image.Pixel(x, y));
    return double(passing) / ((region.right - region.left) * (region.bottom - region.top));
}

// How many sixths of the colour wheel hold at least a twentieth of the region's vivid pixels.
int VividHues(const Image& image, const Region& region) {
    std::array<int, 6> counts{};
    int vivid = 0;
    for (int y = region.top; y < region.bottom; ++y)
        for (int x = region.left; x < region.right; ++x)
            if (const Rgb rgb = image.Pixel(x, y); Vivid(rgb)) {
                ++counts[HueSixth(rgb)];
                ++vivid;
            }
    return static_cast<int>(
        std::count_if(counts.begin(), counts.end(), [&](int count) { return vivid > 0 && count * 20 >= vivid; }));
}

// A landmark's verdict, with the measures it was taken on for the failure message.
testing::AssertionResult Verdict(bool holds, std::initializer_list<std::pair<const char*, double>> measures) {
    testing::AssertionResult result = holds ? testing::AssertionSuccess() : testing::AssertionFailure();
    for (const auto& [name, value] : measures) result << name << " " << value << "; ";
    return result;
}

// Each landmark's thresholds sit between its own stills and the nearest other section's, as
// measured on these stills (quoted as "own / nearest other").

// Planet: the body in the centre (lit: 0.64 and 0.36 of the centre / black 0), the emitter's
// warm embers (0.021 and 0.012 of the frame / the greetings' flashes 0.005, the finale 0.002,
// the tunnel 0), on a frame whose stars are sparse (dark: 0.90 and 0.93 / the greetings and
// the finale 0.76).
testing::AssertionResult PlanetLandmark(const Image& image) {
    if (!IsFrame(image)) return testing::AssertionFailure() << "no frame";
    const double body = Share(image, kCentre, Lit);
    const double embers = Share(image, kWholeFrame, Ember);
    const double dark = Share(image, kWholeFrame, Dark);
    return Verdict(body > 0.15 && embers > 0.008 && dark > 0.85,
                   {{"lit centre", body}, {"embers", embers}, {"dark frame", dark}});
}

// Greetings: many vivid pixels (0.038 / the second Sphere morph 0.042) of many hues (6 / 2 there),
// and the name's white letters in the band above the centre (0.26 / 0 for every other section).
testing::AssertionResult GreetingLandmark(const Image& image) {
    if (!IsFrame(image)) return testing::AssertionFailure() << "no frame";
    const double vivid = Share(image, kWholeFrame, Vivid);
    const int hues = VividHues(image, kWholeFrame);
    const double name = Share(image, {380, 120, 900, 200}, White);
    return Verdict(vivid > 0.015 && hues >= 4 && name > 0.1, {{"vivid", vivid}, {"hues", hues}, {"name", name}});
}

// Sphere morph: the blue sphere over the middle of the frame (0.62 and 0.51 / the greetings'
// tube 0.08), not a blue wash over all of it (0.07 and 0.10 of the frame).
testing::AssertionResult SphereLandmark(const Image& image) {
    if (!IsFrame(image)) return testing::AssertionFailure() << "no frame";
    const double sphere = Share(image, {540, 300, 740, 420}, Blue);
    const double frame = Share(image, kWholeFrame, Blue);
    return Verdict(sphere > 0.3 && frame < 0.25, {{"blue centre", sphere}, {"blue frame", frame}});
}

// Cube tunnel: the lit gems glow on the lower half of the helix (0.024) and not yet on its upper
// half (0.001); anywhere else the two halves of that box differ by at most 4 (the finale's
// starburst 0.045 / 0.012).
testing::AssertionResult TunnelLandmark(const Image& image) {
    if (!IsFrame(image)) return testing::AssertionFailure() << "no frame";
    const double lower = Share(image, {480, 400, 800, 640}, Glowing);
    const double upper = Share(image, {480, 40, 800, 280}, Glowing);
    return Verdict(lower > 0.01 && lower > 10.0 * upper, {{"glowing lower", lower}, {"glowing upper", upper}});
}

// Finale: the credits' white letters low in the middle (0.149 / the greetings' white cylinders
// 0.058), far more than anywhere in the upper half (0.007 / 0.042 there).
testing::AssertionResult CreditsLandmark(const Image& image) {
    if (!IsFrame(image)) return testing::AssertionFailure() << "no frame";
    const double credits = Share(image, {560, 590, 720, 720}, White);
    const double above = Share(image, kUpperHalf, White);
    return Verdict(credits > 0.08 && credits > 5.0 * above, {{"white credits", credits}, {"white above", above}});
}

// The demo's data and soundtrack, and one capture of a still in every section. Capturing steps
// every frame from the start to the finale, which takes a few seconds on the software rasteriser.
class WholeDemoTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        ASSERT_TRUE(run->Valid());
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(LinkBuiltSoundtrack(*run)) << "the build made no soundtrack";
        std::vector<std::string> arguments = {"--out", "stills"};
        for (double beat : kBeats) arguments.insert(arguments.end(), {"--at", BeatText(beat)});
        capture = new ToolRun(RunCapture(*run, arguments));
    }
    static void TearDownTestSuite() {
        delete capture;
        delete run;
    }

    static Image Still(double beat) {
        Image image = LoadPng(run->File(StillName(beat)));
        EXPECT_TRUE(IsFrame(image)) << StillName(beat) << " is missing or not 1280x720";
        return image;
    }

    static EngineRunDirectory* run;
    static ToolRun* capture;
};

EngineRunDirectory* WholeDemoTest::run = nullptr;
ToolRun* WholeDemoTest::capture = nullptr;

// glGetError keeps the first error until it is asked, and the tool asks at every still; a
// quiet stderr therefore covers every frame drawn or stepped up to the last still.
TEST_F(WholeDemoTest, TheCaptureRunsToTheFinaleWithoutAGLError) {
    ExpectSucceeded(*capture);
    EXPECT_EQ(capture->errors.find("GL error"), std::string::npos) << capture->errors;
}

TEST_F(WholeDemoTest, TheLogHoldsNoError) {
    const EngineLog log = ReadEngineLog(run->File("stills/capture.log"));
    ASSERT_TRUE(log.readable);
    EXPECT_GT(log.lines.size(), 1u);
    for (const std::string& line : log.lines) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

TEST_F(WholeDemoTest, PlanetShowsItsBodyAmongSparseStars) {
    EXPECT_TRUE(PlanetLandmark(Still(kPlanetSphere)));
    EXPECT_TRUE(PlanetLandmark(Still(kPlanetButterfly)));
    EXPECT_FALSE(PlanetLandmark(Still(kFinale))) << "the finale is dark too, but has no body in the centre";
    EXPECT_FALSE(PlanetLandmark(Still(kCubeTunnel)));
}

TEST_F(WholeDemoTest, GreetingsAreColourfulWithTheNameAbove) {
    EXPECT_TRUE(GreetingLandmark(Still(kGreeting)));
    EXPECT_FALSE(GreetingLandmark(Still(kSphereMorphAgain))) << "vivid, but of few hues and without a name";
    EXPECT_FALSE(GreetingLandmark(Still(kFinale)));
}

TEST_F(WholeDemoTest, SphereMorphShowsTheBlueSphereInTheMiddle) {
    EXPECT_TRUE(SphereLandmark(Still(kSphereMorph)));
    EXPECT_TRUE(SphereLandmark(Still(kSphereMorphAgain)));
    EXPECT_FALSE(SphereLandmark(Still(kGreeting))) << "the tube has blue cylinders, but not in a mass";
}

TEST_F(WholeDemoTest, CubeTunnelGemsGlowOnTheLowerHelix) {
    EXPECT_TRUE(TunnelLandmark(Still(kCubeTunnel)));
    EXPECT_FALSE(TunnelLandmark(Still(kFinale))) << "the starburst is brighter below, but not so much";
    EXPECT_FALSE(TunnelLandmark(Still(kPlanetSphere)));
}

TEST_F(WholeDemoTest, FinaleShowsTheCreditsBelow) {
    EXPECT_TRUE(CreditsLandmark(Still(kFinale)));
    EXPECT_FALSE(CreditsLandmark(Still(kGreeting))) << "white cylinders everywhere, not letters below";
}

TEST_F(WholeDemoTest, NoLandmarkHoldsOnABlackFrame) {
    Image black = Still(kFinale);
    ASSERT_TRUE(IsFrame(black));
    std::fill_n(black.pixels.get(), static_cast<size_t>(kWidth) * kHeight * 3, uint8_t{0});
    for (const auto& landmark : {PlanetLandmark, GreetingLandmark, SphereLandmark, TunnelLandmark, CreditsLandmark})
        EXPECT_FALSE(landmark(black));
}

}  // namespace
