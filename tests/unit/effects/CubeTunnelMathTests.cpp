#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "effects/CubeTunnelMath.h"

namespace {

constexpr int kNone = -1;

// The quarter-beat pattern as the storyboard gives it, a row per beat from 258.
constexpr std::array<std::array<int, 4>, 22> kPattern = {{
    {8, 40, 10, 80},        {120, 170, 30, 50},     {10, kNone, kNone, kNone}, {kNone, 90, 30, 10},
    {150, 180, 120, 70},    {40, 100, 130, 20},     {kNone, kNone, kNone, kNone}, {kNone, kNone, kNone, kNone},
    {50, 60, 120, 40},      {170, 140, 30, 60},     {kNone, kNone, 20, 80},    {160, 40, 30, 90},
    {110, 50, 10, 40},      {180, 120, 70, kNone},  {kNone, kNone, kNone, kNone}, {kNone, kNone, kNone, kNone},
    {50, 20, 160, 110},     {180, 20, kNone, kNone}, {kNone, kNone, 160, 110}, {90, 20, 180, 40},
    {10, 60, 100, 130},     {30, 150, kNone, kNone},
}};

int PatternAt(int quarter) { return kPattern[quarter / 4][quarter % 4]; }

// The quarters starting at 258, 266, 268.5, 274 and 276.5.
bool OwnsLowerBound(int quarter) {
    return quarter == 0 || quarter == 32 || quarter == 42 || quarter == 64 || quarter == 74;
}

float QuarterStart(int quarter) { return 258.0f + 0.25f * static_cast<float>(quarter); }

float Above(float value) { return std::nextafter(value, std::numeric_limits<float>::infinity()); }
float Below(float value) { return std::nextafter(value, -std::numeric_limits<float>::infinity()); }

Vector3 Centre(const Matrix4& m) { return m.Column(3).Xyz(); }

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool IsPlain(const GemLook& look) {
    return look.diffuseColor == Vector3(0.65f, 1.05f, 3.65f) && look.reflectivity == 0.25f && !look.shifted &&
           look.scale == 1.0f;
}

bool IsLitInPlace(const GemLook& look, int gem) {
    return look.diffuseColor == GemPaletteColor(gem) && look.reflectivity == 0.7f && !look.shifted &&
           look.scale == 1.0f;
}

}  // namespace

TEST(CubeTunnelMath, HelixGrowsWithTheTimeUntilBeat256ThenHolds189Gems) {
    EXPECT_EQ(HelixLength(0.0f, 100.0f), 0.0f);
    EXPECT_EQ(GemCount(HelixLength(0.0f, 100.0f)), 0);
    // Past t / 32 = pi the sine is negative and the helix is empty until it turns again.
    EXPECT_LT(HelixLength(110.0f, 200.0f), 0.0f);
    EXPECT_EQ(GemCount(HelixLength(110.0f, 200.0f)), 0);
    EXPECT_EQ(GemCount(HelixLength(10.0f, 240.0f)), 69);  // 7 pi sin(10 / 32) / (pi / 32) = 68.9

    // From beat 256 the time no longer matters.
    for (float time : {0.0f, 32.0f, 50.26548f, 110.0f}) {
        EXPECT_FLOAT_EQ(HelixLength(time, 256.0f), 21.99115f * std::sin(1.0f)) << time;
        EXPECT_EQ(GemCount(HelixLength(time, 256.0f)), 189) << time;
        EXPECT_EQ(GemCount(HelixLength(time, 300.0f)), 189) << time;
    }
    EXPECT_EQ(GemCount(HelixLength(10.0f, Below(256.0f))), 69);
}

TEST(CubeTunnelMath, GemCountNeverPassesTheFullHelix) {
    EXPECT_EQ(GemCount(kGemAngleStep), 1);
    EXPECT_EQ(GemCount(Above(kGemAngleStep)), 2);
    EXPECT_EQ(GemCount(kMaxHelixLength), 224);
    EXPECT_EQ(GemCount(HelixLength(16.0f * 3.1415927f, 0.0f)), 224);  // sin(pi / 2)
    EXPECT_EQ(GemCount(1e30f), 224);
    EXPECT_EQ(GemCount(std::numeric_limits<float>::infinity()), 224);
    EXPECT_EQ(GemCount(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(CubeTunnelMath, HighlightFollowsThePatternAtEveryQuarterBoundary) {
    for (int quarter = 0; quarter < 88; ++quarter) {
        const float start = QuarterStart(quarter);
        const float end = QuarterStart(quarter + 1);
        SCOPED_TRACE(testing::Message() << "quarter from beat " << start);
        EXPECT_EQ(HighlightIndex(Above(start)), PatternAt(quarter));
        EXPECT_EQ(HighlightIndex(start + 0.125f), PatternAt(quarter));
        // A quarter owns its upper bound unless the next one claims it as its lower bound.
        const bool claimed = quarter + 1 < 88 && OwnsLowerBound(quarter + 1);
        EXPECT_EQ(HighlightIndex(end), PatternAt(claimed ? quarter + 1 : quarter));
        if (claimed) {
            EXPECT_EQ(PatternAt(quarter), kNone);  // only an unlit quarter gives its bound away
        }
    }
}

TEST(CubeTunnelMath, OnlyQuartersAfterAnUnlitStretchOwnTheirLowerBound) {
    EXPECT_EQ(HighlightIndex(Below(258.0f)), -1);
    EXPECT_EQ(HighlightIndex(258.0f), 8);
    EXPECT_EQ(HighlightIndex(266.0f), 50);
    EXPECT_EQ(HighlightIndex(268.5f), 20);
    EXPECT_EQ(HighlightIndex(274.0f), 50);
    EXPECT_EQ(HighlightIndex(276.5f), 160);
    // Elsewhere the lower bound belongs to the quarter before.
    EXPECT_EQ(HighlightIndex(259.0f), 80);
    EXPECT_EQ(HighlightIndex(259.25f), 120);
    EXPECT_EQ(HighlightIndex(261.25f), -1);
    EXPECT_EQ(HighlightIndex(Above(261.25f)), 90);
    EXPECT_EQ(HighlightIndex(271.75f), 70);
    EXPECT_EQ(HighlightIndex(Above(271.75f)), -1);
    EXPECT_EQ(HighlightIndex(279.5f), 150);
    EXPECT_EQ(HighlightIndex(Above(279.5f)), -1);
    EXPECT_EQ(HighlightIndex(259.4f), 170);
}

TEST(CubeTunnelMath, HighlightIsOffBetweenThePatternAndTheSweep) {
    for (float beat : {-2.1f, 0.0f, 256.0f, 257.99f, 280.0f, Above(280.0f), 281.0f, Below(282.0f)})
        EXPECT_EQ(HighlightIndex(beat), -1) << beat;
}

TEST(CubeTunnelMath, HighlightFrom282CountsTheSweptGems) {
    EXPECT_EQ(HighlightIndex(282.0f), 0);
    EXPECT_EQ(HighlightIndex(283.0f), 90);  // floor(|sin 0.5| x 189)
    EXPECT_EQ(HighlightIndex(282.0f + 3.1415927f), 189);  // every gem of the helix
    EXPECT_EQ(HighlightIndex(282.0f + 2.0f * 3.1415927f + 1.0f), 90);  // |sin| folds the second swing
    EXPECT_EQ(HighlightIndex(300.0f), static_cast<int>(std::fabs(std::sin(9.0f)) * 189.0f));
}

TEST(CubeTunnelMath, PaletteRunsThroughSineCosineAndAQuarterCount) {
    ExpectNear(GemPaletteColor(0), {0.0f, 1.0f, 0.0f});
    ExpectNear(GemPaletteColor(15), {std::sin(3.75f), std::cos(3.75f), 3.75f});
    ExpectNear(GemPaletteColor(16), {std::sin(4.0f), std::cos(4.0f), 0.0f});
    ExpectNear(GemPaletteColor(170), {std::sin(42.5f), std::cos(42.5f), 2.5f});
}

TEST(CubeTunnelMath, AtBeat259Point4Gems167To172AreLit) {
    const int highlight = HighlightIndex(259.4f);
    for (int gem = 0; gem < 189; ++gem) {
        const GemLook look = GemLookAt(gem, highlight, 259.4f);
        if (gem >= 167 && gem <= 172)
            EXPECT_TRUE(IsLitInPlace(look, gem)) << gem;
        else
            EXPECT_TRUE(IsPlain(look)) << gem;
    }
}

TEST(CubeTunnelMath, LitWindowRuleHoldsFrom256To280) {
    EXPECT_TRUE(IsLitInPlace(GemLookAt(7, 10, 256.0f), 7));
    EXPECT_TRUE(IsLitInPlace(GemLookAt(12, 10, 280.0f), 12));
    EXPECT_TRUE(IsPlain(GemLookAt(13, 10, 270.0f)));
    EXPECT_TRUE(IsPlain(GemLookAt(6, 10, 270.0f)));
    EXPECT_TRUE(IsPlain(GemLookAt(10, 10, Below(256.0f))));
    EXPECT_TRUE(IsPlain(GemLookAt(10, 10, Above(280.0f))));
    EXPECT_TRUE(IsPlain(GemLookAt(0, -1, 270.0f)));
}

TEST(CubeTunnelMath, AtBeat283TheFirst91GemsAreLitAndSwept) {
    const int highlight = HighlightIndex(283.0f);
    for (int gem = 0; gem < 189; ++gem) {
        const GemLook look = GemLookAt(gem, highlight, 283.0f);
        if (gem <= 90) {
            EXPECT_EQ(look.diffuseColor, GemPaletteColor(gem)) << gem;
            EXPECT_EQ(look.reflectivity, 0.7f);
            EXPECT_TRUE(look.shifted);
            EXPECT_EQ(look.scale, 1.0f);
        } else {
            EXPECT_TRUE(IsPlain(look)) << gem;
        }
    }
    EXPECT_TRUE(GemLookAt(5, 5, Below(285.0f)).shifted);
    EXPECT_TRUE(IsPlain(GemLookAt(6, 5, Below(285.0f))));
}

TEST(CubeTunnelMath, From285EveryGemPulses) {
    const float peak = 285.0f + 4.0f * 3.1415927f;  // sin((b - 285) / 8) = 1
    for (int gem : {0, 100, 188}) {
        const GemLook look = GemLookAt(gem, HighlightIndex(peak), peak);
        EXPECT_EQ(look.diffuseColor, GemPaletteColor(gem));
        EXPECT_EQ(look.reflectivity, 0.7f);
        EXPECT_TRUE(look.shifted);
        EXPECT_NEAR(look.scale, 16.0f, 1e-4f);
    }
    EXPECT_FLOAT_EQ(GemLookAt(3, 0, 285.0f).scale, 1.0f);
    EXPECT_FLOAT_EQ(GemLookAt(3, 0, 293.0f).scale, 15.0f * std::sin(1.0f) + 1.0f);
}

TEST(CubeTunnelMath, FailedAudioLeavesEveryGemPlain) {
    const float failed = -2.1f;  // -1 second at 126 beats per minute
    for (int gem = 0; gem < 224; ++gem)
        EXPECT_TRUE(IsPlain(GemLookAt(gem, HighlightIndex(failed), failed))) << gem;
}

TEST(CubeTunnelMath, GemsClimbAHelixThatTurnsWithTheTime) {
    // At time 0 nothing turns: gem a sits at half of (40 cos a, 60 + 10 a, 40 sin a), unit size.
    const Matrix4 still = HelixBaseMatrix(0.0f);
    ExpectNear(Centre(GemMatrix(still, 0.0f, 0.0f)), {20.0f, 30.0f, 0.0f});
    const float angle = 2.0f;
    const Matrix4 gem = GemMatrix(still, angle, 0.0f);
    ExpectNear(Centre(gem), {20.0f * std::cos(angle), 30.0f + 5.0f * angle, 20.0f * std::sin(angle)});
    EXPECT_NEAR(Length(gem.Column(0).Xyz()), 1.0f, 1e-5f);

    // Time 8 has turned the helix by -90 degrees about the vertical axis.
    ExpectNear(Centre(GemMatrix(HelixBaseMatrix(8.0f), 0.0f, 8.0f)), {0.0f, 30.0f, 20.0f});
    // The tumble depends on the time and slows along the helix.
    EXPECT_NE(GemMatrix(still, 1.0f, 3.0f).Column(0), GemMatrix(still, 1.0f, 0.0f).Column(0));
}

TEST(CubeTunnelMath, SweepMovesAGemHalfAUnitAndThePulseScalesIt) {
    const Matrix4 gem = GemMatrix(HelixBaseMatrix(5.0f), 1.3f, 5.0f);
    EXPECT_EQ(ApplyGemLook(gem, GemLookAt(150, 90, 283.0f), 283.0f), gem);

    const Matrix4 swept = ApplyGemLook(gem, GemLookAt(3, 90, 283.0f), 283.0f);
    EXPECT_NEAR(Length(Centre(swept) - Centre(gem)), 0.5f, 1e-4f);
    EXPECT_EQ(swept.Column(0), gem.Column(0));

    const GemLook pulsing = GemLookAt(3, 0, 293.0f);
    const Matrix4 pulsed = ApplyGemLook(gem, pulsing, 293.0f);
    EXPECT_NEAR(Length(pulsed.Column(0).Xyz()), pulsing.scale, 1e-4f);
    EXPECT_NEAR(Length(Centre(pulsed) - Centre(gem)), 0.5f, 1e-4f);
}
