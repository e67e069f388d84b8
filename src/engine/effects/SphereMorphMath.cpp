#include "effects/SphereMorphMath.h"

#include <algorithm>
#include <cmath>

#include "math/Matrix4.h"
#include "math/Random.h"

namespace {

Vector3 ReadVector(const float* floats) { return {floats[0], floats[1], floats[2]}; }

void WriteVector(float* floats, const Vector3& v) {
    floats[0] = v.x;
    floats[1] = v.y;
    floats[2] = v.z;
}

// Whole vertices that both spans can hold.
size_t VertexCount(size_t floatsA, size_t floatsB) {
    return std::min(floatsA, floatsB) / kMorphFloatsPerVertex;
}

}  // namespace

float MorphPulse(float time) {
    const float u = 4.0f * time;
    return 3.0f - (u - 4.0f * std::floor(u * 0.25f));
}

float ShellGain(float time) { return (time / 20.0f) * 0.0625f; }

float MorphWave(float time, int vertex) { return std::sin(time + static_cast<float>(vertex) / 6.0f); }

void BuildSphereStates(std::span<const float> meshVertices, std::span<SphereVertexState> states) {
    const size_t count = std::min(meshVertices.size() / kMorphFloatsPerVertex, states.size());
    for (size_t j = 0; j < count; ++j) {
        const float* vertex = &meshVertices[j * kMorphFloatsPerVertex];
        SphereVertexState& state = states[j];
        state.normal = ReadVector(vertex + 3);
        state.rest = ReadVector(vertex) * 2.0f;
        state.current = state.rest;
    }
}

void MorphSphere(std::span<SphereVertexState> states, float time, float gain, float scale, std::span<float> upload) {
    const float pulse = MorphPulse(time);
    const size_t count = std::min(states.size(), upload.size() / kMorphFloatsPerVertex);
    for (size_t j = 0; j < count; ++j) {
        SphereVertexState& state = states[j];
        // Rounded product by product, in the order the look was tuned with.
        const Vector3 bulge = state.normal * MorphWave(time, static_cast<int>(j)) * pulse * gain;
        state.current = state.rest + bulge;
        float* out = &upload[j * kMorphFloatsPerVertex];
        WriteVector(out, state.current * scale);
        WriteVector(out + 3, state.normal);
    }
}

float TwistAngle(float time, float radius) {
    const double phase = static_cast<double>(time) * 0.25;
    const float argument = static_cast<float>(phase - static_cast<double>(radius) * 0.05);
    return 360.0f * std::sin(argument);
}

void TwistSpikyBall(std::span<const float> restVertices, float time, std::span<float> upload) {
    const Vector3 axis(1.0f, 1.0f, 0.0f);
    const size_t count = VertexCount(restVertices.size(), upload.size());
    for (size_t v = 0; v < count; ++v) {
        const Vector3 rest = ReadVector(&restVertices[v * kMorphFloatsPerVertex]);
        const Matrix4 twist = Rotate(Matrix4(), TwistAngle(time, Length(rest)), axis);
        WriteVector(&upload[v * kMorphFloatsPerVertex], (twist * Vector4(rest, 1.0f)).Xyz() * 2.0f);
    }
}

void FillParticleDisc(std::span<ParticleRecord> records) {
    quarn::srand(0);
    for (ParticleRecord& record : records) {
        const float angle = static_cast<float>((DrawCloudFraction() - 1.0) * 2.0 * 3.141592);
        const double radius = (DrawCloudFraction() - 1.0) * 150.0 - 75.0;
        record.x = static_cast<float>(std::cos(angle) * radius);
        record.y = static_cast<float>((DrawCloudFraction() - 1.0) * 150.0 - 75.0);
        record.z = static_cast<float>(std::sin(angle) * radius);
        record.w = static_cast<float>(DrawCloudFraction());
    }
}
