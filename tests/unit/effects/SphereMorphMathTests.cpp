#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/SphereMorphMath.h"
#include "math/Random.h"

namespace {

// Two vertices laid out as a mesh file holds them: position, normal.
std::vector<float> TwoVertexMesh() {
    return {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,   // vertex 0 on +x
            0.0f, 2.0f, 0.0f, 0.0f, 1.0f, 0.0f};  // vertex 1 on +y
}

// A sphere of `count` vertices, all at (0, 0, 1) with normal (0, 0, 1): only the phase differs.
std::vector<SphereVertexState> StatesAlongZ(int count) {
    std::vector<float> mesh;
    for (int j = 0; j < count; ++j)
        mesh.insert(mesh.end(), {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f});
    std::vector<SphereVertexState> states(count);
    BuildSphereStates(mesh, states);
    return states;
}

}  // namespace

TEST(SphereMorphMath, PulseIsThreeAtWholeBeatsAndFallsToMinusOne) {
    for (float beat : {0.0f, 1.0f, 2.0f, 17.0f})
        EXPECT_FLOAT_EQ(MorphPulse(beat), 3.0f) << beat;
    EXPECT_FLOAT_EQ(MorphPulse(2.75f), 0.0f);
    EXPECT_FLOAT_EQ(MorphPulse(2.5f), 1.0f);
    EXPECT_NEAR(MorphPulse(2.999f), -1.0f, 0.01f);
    EXPECT_GT(MorphPulse(2.999f), -1.0f);
}

TEST(SphereMorphMath, ShellGainStartsAtZeroAndGrows) {
    EXPECT_EQ(ShellGain(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(ShellGain(20.0f), 0.0625f);
    EXPECT_FLOAT_EQ(ShellGain(40.0f), 0.125f);
}

TEST(SphereMorphMath, RestStatesAreTwiceTheFileAndIgnoreAPartialVertex) {
    std::vector<float> mesh = TwoVertexMesh();
    mesh.push_back(9.0f);  // a stray float does not make a third vertex
    std::vector<SphereVertexState> states(2);
    BuildSphereStates(mesh, states);
    EXPECT_EQ(states[0].rest, Vector3(2.0f, 0.0f, 0.0f));
    EXPECT_EQ(states[1].rest, Vector3(0.0f, 4.0f, 0.0f));
    EXPECT_EQ(states[1].normal, Vector3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(states[1].current, states[1].rest);
}

TEST(SphereMorphMath, VertexPhaseStepsBySixthOfARadian) {
    const float t = 2.0f;  // k = 3
    std::vector<SphereVertexState> states = StatesAlongZ(7);
    std::vector<float> upload(7 * kMorphFloatsPerVertex);
    MorphSphere(states, t, 1.0f, 1.0f, upload);

    EXPECT_FLOAT_EQ(states[0].current.z, 2.0f + std::sin(t) * 3.0f);
    EXPECT_FLOAT_EQ(states[6].current.z, 2.0f + std::sin(t + 1.0f) * 3.0f);
    EXPECT_FLOAT_EQ(upload[6 * kMorphFloatsPerVertex + 2], states[6].current.z);
    EXPECT_EQ(upload[6 * kMorphFloatsPerVertex + 5], 1.0f);  // normal passes through
}

TEST(SphereMorphMath, RestShapeAtQuarterToTheBeat) {
    std::vector<SphereVertexState> states = StatesAlongZ(10);
    std::vector<float> upload(10 * kMorphFloatsPerVertex);
    MorphSphere(states, 2.75f, 1.0f, 1.0f, upload);
    for (const SphereVertexState& state : states)
        EXPECT_EQ(state.current, state.rest);
}

TEST(SphereMorphMath, ShellAtTimeZeroIsTwoAndAHalfTimesTheRestShape) {
    std::vector<float> mesh = TwoVertexMesh();
    std::vector<SphereVertexState> states(2);
    BuildSphereStates(mesh, states);
    std::vector<float> upload(2 * kMorphFloatsPerVertex);
    MorphSphere(states, 0.0f, ShellGain(0.0f), 2.5f, upload);
    // Five times the file's size.
    EXPECT_EQ(upload[0], 5.0f);
    EXPECT_EQ(upload[7], 10.0f);
}

TEST(SphereMorphMath, MorphNeverAccumulatesAcrossFrames) {
    std::vector<SphereVertexState> states = StatesAlongZ(4);
    std::vector<float> first(4 * kMorphFloatsPerVertex);
    std::vector<float> again(4 * kMorphFloatsPerVertex);
    MorphSphere(states, 1.3f, 1.0f, 1.0f, first);
    MorphSphere(states, 5.6f, ShellGain(5.6f), 2.5f, again);
    MorphSphere(states, 1.3f, 1.0f, 1.0f, again);
    EXPECT_EQ(first, again);
}

TEST(SphereMorphMath, TwistAngleRunsOutwardsFromTheCentre) {
    const float t = 3.0f;
    EXPECT_FLOAT_EQ(TwistAngle(t, 0.0f), 360.0f * std::sin(t / 4.0f));
    EXPECT_NEAR(TwistAngle(t, 20.0f), 360.0f * std::sin(t / 4.0f - 1.0f), 1e-3f);
    EXPECT_EQ(TwistAngle(0.0f, 0.0f), 0.0f);
}

TEST(SphereMorphMath, TwistTurnsAboutTheDiagonalAndDoublesWithoutTouchingNormals) {
    // A point on the axis does not move under the rotation; a point off it keeps its distance
    // from the axis and its length.
    std::vector<float> rest = {1.0f, 1.0f, 0.0f, 7.0f, 8.0f, 9.0f,
                               0.0f, 0.0f, 5.0f, 4.0f, 5.0f, 6.0f};
    std::vector<float> upload = rest;
    const float t = 1.7f;
    TwistSpikyBall(rest, t, upload);

    EXPECT_NEAR(upload[0], 2.0f, 1e-5f);
    EXPECT_NEAR(upload[1], 2.0f, 1e-5f);
    EXPECT_NEAR(upload[2], 0.0f, 1e-5f);
    EXPECT_EQ(upload[3], 7.0f);

    const Vector3 twisted(upload[6], upload[7], upload[8]);
    EXPECT_NEAR(Length(twisted), 10.0f, 1e-4f);
    EXPECT_NEAR(twisted.z, 10.0f * std::cos(TwistAngle(t, 5.0f) * 3.14159265f / 180.0f), 1e-3f);
    EXPECT_EQ(upload[9], 4.0f);
}

TEST(SphereMorphMath, TwistWithEmptyMeshWritesNothing) {
    std::vector<float> upload;
    TwistSpikyBall({}, 1.0f, upload);
    std::vector<SphereVertexState> states;
    MorphSphere(states, 1.0f, 1.0f, 1.0f, upload);
    EXPECT_TRUE(upload.empty());
}

TEST(SphereMorphMath, ParticleDiscIsSeededAndStaysInItsBounds) {
    std::vector<ParticleRecord> disc(5000);
    quarn::srand(1234);
    FillParticleDisc(disc);

    // The first record from the first four draws after srand(0), by hand.
    quarn::srand(0);
    const int d1 = quarn::rand() % 10000, d2 = quarn::rand() % 10000;
    const int d3 = quarn::rand() % 10000, d4 = quarn::rand() % 10000;
    const float angle = static_cast<float>((d1 / 5000.0 - 1.0) * 2.0 * 3.141592);
    const double radius = (d2 / 5000.0 - 1.0) * 150.0 - 75.0;
    EXPECT_FLOAT_EQ(disc[0].x, static_cast<float>(std::cos(angle) * radius));
    EXPECT_FLOAT_EQ(disc[0].y, static_cast<float>((d3 / 5000.0 - 1.0) * 150.0 - 75.0));
    EXPECT_FLOAT_EQ(disc[0].w, static_cast<float>(d4 / 5000.0));

    for (const ParticleRecord& p : disc) {
        EXPECT_LE(std::hypot(p.x, p.z), 225.0f);
        EXPECT_GE(p.y, -225.0f);
        EXPECT_LT(p.y, 75.0f);
        EXPECT_GE(p.w, 0.0f);
        EXPECT_LT(p.w, 2.0f);
    }

    // The generator is left 20000 draws on.
    quarn::srand(0);
    for (int i = 0; i < 20000; ++i)
        quarn::rand();
    const int expectedNext = quarn::rand();
    FillParticleDisc(disc);
    EXPECT_EQ(quarn::rand(), expectedNext);
}
