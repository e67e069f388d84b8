#include "effects/CubeTunnelMath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

constexpr float kHelixFixedFrom = 256.0f;  // the helix stops growing here
constexpr float kTableStart = 258.0f;
constexpr float kTableEnd = 280.0f;
constexpr float kSweepFrom = 282.0f;
constexpr float kPulseFrom = 285.0f;
constexpr int kSweepGems = 189;
constexpr int kQuartersPerBeat = 4;

constexpr int16_t kNone = -1;

// The lit gem of each quarter beat from 258 to 280, a row per beat.
constexpr std::array<int16_t, 88> kHighlightTable = {
    8,     40,    10,    80,    // 258
    120,   170,   30,    50,    // 259
    10,    kNone, kNone, kNone, // 260
    kNone, 90,    30,    10,    // 261
    150,   180,   120,   70,    // 262
    40,    100,   130,   20,    // 263
    kNone, kNone, kNone, kNone, // 264
    kNone, kNone, kNone, kNone, // 265
    50,    60,    120,   40,    // 266
    170,   140,   30,    60,    // 267
    kNone, kNone, 20,    80,    // 268
    160,   40,    30,    90,    // 269
    110,   50,    10,    40,    // 270
    180,   120,   70,    kNone, // 271
    kNone, kNone, kNone, kNone, // 272
    kNone, kNone, kNone, kNone, // 273
    50,    20,    160,   110,   // 274
    180,   20,    kNone, kNone, // 275
    kNone, kNone, 160,   110,   // 276
    90,    20,    180,   40,    // 277
    10,    60,    100,   130,   // 278
    30,    150,   kNone, kNone, // 279
};

// Each quarter owns its upper bound; these quarters, which all follow an unlit stretch, also
// own their lower bound: 258, 266, 268.5, 274 and 276.5.
constexpr std::array<int, 5> kQuartersOwningLowerBound = {0, 32, 42, 64, 74};

int TableEntry(int quarter) { return kHighlightTable[static_cast<size_t>(quarter)]; }

// The entry covering a beat of [258, 280]. The difference and the product are exact in single
// precision over that range, so the quarter boundaries fall exactly.
int QuarterTableHighlight(float beat) {
    const float quarters = (beat - kTableStart) * kQuartersPerBeat;
    const int lowerBound = static_cast<int>(quarters);
    if (quarters == static_cast<float>(lowerBound))
        for (int quarter : kQuartersOwningLowerBound)
            if (quarter == lowerBound)
                return TableEntry(quarter);
    return TableEntry(static_cast<int>(std::ceil(quarters)) - 1);
}

Vector3 Uniform3(float value) { return {value, value, value}; }

}  // namespace

float HelixLength(float time, float beat) {
    const float turn = beat < kHelixFixedFrom ? time / 32.0f : 1.0f;
    return kMaxHelixLength * std::sin(turn);
}

int GemCount(float helixLength) {
    // Past 7 pi the loop is no helix of ours, and far enough out the angle would stop growing.
    const float length = std::min(helixLength, kMaxHelixLength);
    int count = 0;
    for (float angle = 0.0f; angle < length; angle += kGemAngleStep)
        ++count;
    return count;
}

int HighlightIndex(float beat) {
    if (beat >= kSweepFrom)
        return static_cast<int>(std::floor(std::fabs(std::sin((beat - kSweepFrom) * 0.5f)) * kSweepGems));
    if (beat < kTableStart || beat > kTableEnd)
        return -1;
    return QuarterTableHighlight(beat);
}

Vector3 GemPaletteColor(int gem) {
    const float quarter = static_cast<float>(gem) / 4.0f;
    return {std::sin(quarter), std::cos(quarter), quarter - 4.0f * std::floor(static_cast<float>(gem) / 16.0f)};
}

GemLook GemLookAt(int gem, int highlight, float beat) {
    constexpr float kLitReflectivity = 0.7f;
    if (beat >= 256.0f && beat <= kTableEnd && highlight >= 0 && gem >= highlight - 3 && gem < highlight + 3)
        return {GemPaletteColor(gem), kLitReflectivity, false, 1.0f};
    if (beat >= kSweepFrom && beat < kPulseFrom && highlight >= 0 && gem <= highlight)
        return {GemPaletteColor(gem), kLitReflectivity, true, 1.0f};
    if (beat >= kPulseFrom)
        return {GemPaletteColor(gem), kLitReflectivity, true, 15.0f * std::sin((beat - kPulseFrom) * 0.125f) + 1.0f};
    return {{0.65f, 1.05f, 3.65f}, 0.25f, false, 1.0f};
}

Matrix4 HelixBaseMatrix(float time) {
    return Scale(Rotate(Matrix4(), -360.0f * (time / 32.0f), {0.0f, 1.0f, 0.0f}), Uniform3(0.5f));
}

Matrix4 GemMatrix(const Matrix4& base, float angle, float time) {
    Matrix4 m = Translate(base, {0.0f, 60.0f, 0.0f});
    m = Translate(m, {40.0f * std::cos(angle), 10.0f * angle, 40.0f * std::sin(angle)});
    const float tumble = time / (std::fabs(angle) + 4.0f);
    m = Rotate(m, 360.0f * std::sin(tumble), {1.0f, 0.0f, 0.0f});
    m = Rotate(m, 360.0f * std::cos(tumble), {0.0f, 0.0f, 1.0f});
    return Scale(m, Uniform3(2.0f));
}

Matrix4 ApplyGemLook(const Matrix4& gemMatrix, const GemLook& look, float beat) {
    if (!look.shifted)
        return gemMatrix;
    const float phase = beat / 16.0f;
    const Matrix4 swept = Translate(gemMatrix, {0.5f * std::sin(phase), 0.0f, 0.5f * std::cos(phase)});
    return look.scale == 1.0f ? swept : Scale(swept, Uniform3(look.scale));
}

Matrix4 BackgroundMatrix(float time) {
    return Scale(Rotate(Matrix4(), 360.0f * (time / 64.0f), {0.0f, 1.0f, 0.0f}), Uniform3(30.0f));
}
