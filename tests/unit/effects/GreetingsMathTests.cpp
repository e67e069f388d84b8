#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/GreetingsMath.h"
#include "math/Random.h"

namespace {

void ExpectColor(const Vector4& actual, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(actual.x, r);
    EXPECT_FLOAT_EQ(actual.y, g);
    EXPECT_FLOAT_EQ(actual.z, b);
    EXPECT_FLOAT_EQ(actual.w, a);
}

}  // namespace

TEST(GreetingsMath, EachRingHoldsTwentyAnglesSummedInFloat) {
    std::vector<float> angles;
    for (float a = 0.0f; a < kRingAngleEnd && angles.size() < 100; a = NextRingAngle(a))
        angles.push_back(a);
    ASSERT_EQ(angles.size(), 20u);
    EXPECT_EQ(angles[1], 0.31415927f);
    // The sum is rounded after every step, not computed as 19 x step.
    float expected = 0.0f;
    for (int i = 0; i < 19; ++i)
        expected = static_cast<float>(expected + 0.31415927);
    EXPECT_EQ(angles[19], expected);
}

TEST(GreetingsMath, PhasesAndRingRadiusFollowTheEffectTime) {
    const TubePhases phases = PhasesAt(8.0f);
    EXPECT_EQ(phases.breathing, 2.0);
    EXPECT_EQ(phases.spin, 0.25);
    // At time 0 ring i breathes with sin(i / 5).
    for (int ring : {0, 1, 7, 199})
        EXPECT_FLOAT_EQ(RingRadius(ring, 0.0), static_cast<float>(std::sin(ring / 5.0)) + 1.5f) << ring;
    EXPECT_FLOAT_EQ(RingRadius(0, 2.0), static_cast<float>(std::sin(2.0)) + 1.5f);
}

TEST(GreetingsMath, CylinderStandsOnItsRingParallelToTheTubeAndSpins) {
    // Angle 0, no spin: 5 x radius up the y axis, at z = 2 x ring, the mesh's y along the tube.
    Matrix4 m = CylinderMatrix(2.0f, 3, 0.0f, 0.0);
    const Vector4 centre = m * Vector4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(centre.x, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(centre.y, 10.0f);
    EXPECT_FLOAT_EQ(centre.z, 6.0f);
    const Vector4 axis = m * Vector4(0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(axis.x, 0.0f, 1e-6f);
    EXPECT_NEAR(axis.y, 0.0f, 1e-6f);
    EXPECT_NEAR(axis.z, 1.0f, 1e-6f);

    // The spin turns the mesh's x axis within the ring's plane by 720 x sin(a + B) degrees.
    const float angle = 0.31415927f;
    const double spin = 0.125;
    m = CylinderMatrix(1.0f, 0, angle, spin);
    const float spinRadians = 720.0f * std::sin(static_cast<float>(angle + spin)) * 3.14159265f / 180.0f;
    const Vector4 side = m * Vector4(1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(side.x, std::cos(spinRadians), 1e-4f);
    EXPECT_NEAR(side.y, std::sin(spinRadians), 1e-4f);
    EXPECT_NEAR(side.z, 0.0f, 1e-5f);
    const Vector4 onRing = m * Vector4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(onRing.x, 5.0f * std::sin(angle));
    EXPECT_FLOAT_EQ(onRing.y, 5.0f * std::cos(angle));
}

TEST(GreetingsMath, ShadesAreThreeDrawsOfHalfFractions) {
    quarn::srand(0);
    const int d1 = quarn::rand() % 10000, d2 = quarn::rand() % 10000, d3 = quarn::rand() % 10000;
    quarn::srand(0);
    const CylinderShade shade = DrawCylinderShade();
    EXPECT_EQ(shade.r1, d1 / 20000.0f);
    EXPECT_EQ(shade.r2, d2 / 20000.0f);
    EXPECT_EQ(shade.r3, d3 / 20000.0f);
    for (int i = 0; i < 1000; ++i) {
        const CylinderShade s = DrawCylinderShade();
        EXPECT_GE(std::min({s.r1, s.r2, s.r3}), 0.0f);
        EXPECT_LE(std::max({s.r1, s.r2, s.r3}), 0.49995f);
    }
}

TEST(GreetingsMath, PulseIsOneBeforeTheDropThenFourOnEveryBeat) {
    EXPECT_EQ(BeatPulse(std::nextafter(kPulseStartBeat, 0.0f), 240.0f), 1.0f);
    EXPECT_EQ(BeatPulse(100.0f, 240.5f), 1.0f);
    EXPECT_EQ(BeatPulse(kPulseStartBeat, 240.0f), 4.0f);
    EXPECT_EQ(BeatPulse(200.0f, 241.0f), 4.0f);
    EXPECT_EQ(BeatPulse(200.0f, 240.25f), 3.0f);
    EXPECT_EQ(BeatPulse(200.0f, 240.5f), 2.0f);
    EXPECT_NEAR(BeatPulse(200.0f, 240.999f), 0.004f, 1e-3f);
    EXPECT_GT(BeatPulse(200.0f, 240.999f), 0.0f);
}

TEST(GreetingsMath, GreyTakesAThirdOfThePulseAndFlashingColourAHalf) {
    // sin(2 x 0.2 x time) = 1 at time 5pi/4: not below g = 0.45, so grey.
    const CylinderShade shade{0.2f, 0.3f, 0.4f};
    const float greyTime = 3.14159265f * 1.25f;
    const float third = 1.0f / 3.0f;
    ExpectColor(CylinderColor(shade, greyTime, 1.0f), 0.45f + third, 0.45f + third, 0.45f + third, 1.5f + third);
    // At time 0 the sine is 0, below every g: every cylinder flashes.
    ExpectColor(CylinderColor(shade, 0.0f, 1.0f), 1.2f + 0.5f, 2.4f + 0.5f, 3.6f + 0.5f, 10.5f);
    // After the drop the pulse k = 4 on a beat: flashing colour reaches 12 in alpha.
    ExpectColor(CylinderColor(shade, 0.0f, 4.0f), 1.2f + 2.0f, 2.4f + 2.0f, 3.6f + 2.0f, 12.0f);
    ExpectColor(CylinderColor(shade, greyTime, 3.0f), 1.45f, 1.45f, 1.45f, 2.5f);
    // A flash whose green matches its red is taken for grey.
    ExpectColor(CylinderColor({0.0f, 0.0f, 0.3f}, 1.0f, 3.0f), 1.0f, 1.0f, 10.0f * 0.3f * 0.9f + 1.0f, 11.0f);
}

TEST(GreetingsMath, CloudFillsTwentyThousandDrawsIntoItsColumn) {
    std::vector<ParticleRecord> records(5000);
    FillGreetingsCloud(records);
    const int next = quarn::rand();
    quarn::srand(0);
    const int d[4] = {quarn::rand() % 10000, quarn::rand() % 10000, quarn::rand() % 10000, quarn::rand() % 10000};
    for (int i = 4; i < 20000; ++i)
        quarn::rand();
    EXPECT_EQ(next, quarn::rand()) << "the effects after this one continue the sequence";

    const float theta = static_cast<float>((d[0] / 5000.0 - 1.0) * 2.0 * 3.141592);
    const double rho = (d[1] / 5000.0 - 1.0) * 100.0 - 50.0;
    EXPECT_FLOAT_EQ(records[0].x, static_cast<float>(std::cos(theta) * rho));
    EXPECT_FLOAT_EQ(records[0].y, static_cast<float>(std::sin(theta) * rho));
    EXPECT_FLOAT_EQ(records[0].z, static_cast<float>(d[2] / 5000.0 * 500.0 - 100.0));
    EXPECT_FLOAT_EQ(records[0].w, static_cast<float>(d[3] / 5000.0 + 0.1));
    for (const ParticleRecord& r : records) {
        EXPECT_LE(std::hypot(r.x, r.y), 150.001f);
        EXPECT_GE(r.z, -100.0f);
        EXPECT_LT(r.z, 900.0f);
        EXPECT_GE(r.w, 0.1f);
        EXPECT_LT(r.w, 2.1f);
    }
}

TEST(GreetingsMath, TubeFrameIsReseededSoEveryFrameShadesTheSameCylindersAlike) {
    struct Cylinder {
        Matrix4 model;
        Vector4 color;
    };
    auto frame = [](float time, float pulse) {
        std::vector<Cylinder> cylinders;
        ForEachCylinder(time, pulse, [&](const Matrix4& model, const Matrix4& normal, const Vector4& color) {
            EXPECT_EQ(normal, Transpose(Inverse(model)));
            cylinders.push_back({model, color});
        });
        return cylinders;
    };
    quarn::srand(99);
    const std::vector<Cylinder> first = frame(17.5f, 1.0f);
    ASSERT_EQ(first.size(), 4000u);
    // The overlay's two draws come right after the tube's 12000.
    const int afterTube = quarn::rand();
    quarn::srand(0);
    for (int i = 0; i < 12000; ++i)
        quarn::rand();
    EXPECT_EQ(quarn::rand(), afterTube);

    for (int i = 0; i < 333; ++i)
        quarn::rand();
    const std::vector<Cylinder> again = frame(17.5f, 1.0f);
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(again[i].model, first[i].model) << i;
        EXPECT_EQ(again[i].color, first[i].color) << i;
    }
    // Cylinder 21 is the first of ring 1: two units further down the tube.
    EXPECT_FLOAT_EQ(first[20].model.At(3, 2), 2.0f);
    EXPECT_FLOAT_EQ(first[3999].model.At(3, 2), 398.0f);
}
