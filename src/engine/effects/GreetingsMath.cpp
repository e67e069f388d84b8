#include "effects/GreetingsMath.h"

#include <cmath>

#include "math/Random.h"

namespace {

constexpr double kRingAngleStep = 0.31415927;

float DrawShadeFraction() { return static_cast<float>(quarn::rand() % 10000) / 20000.0f; }

}  // namespace

TubePhases PhasesAt(float time) { return {time * 0.25, time * 0.03125}; }

float RingRadius(int ring, double breathing) {
    return static_cast<float>(std::sin(static_cast<float>(ring) / 5.0f + breathing)) + 1.5f;
}

float NextRingAngle(float angle) { return static_cast<float>(angle + kRingAngleStep); }

Matrix4 CylinderMatrix(float radius, int ring, float angle, double spin) {
    const float spinAngle = 720.0f * std::sin(static_cast<float>(angle + spin));
    const Vector3 centre(5.0f * radius * std::sin(angle), 5.0f * radius * std::cos(angle),
                         2.0f * static_cast<float>(ring));
    Matrix4 m = Translate(Matrix4(), centre);
    m = Rotate(m, 90.0f, Vector3(1.0f, 0.0f, 0.0f));
    return Rotate(m, spinAngle, Vector3(0.0f, 1.0f, 0.0f));
}

CylinderShade DrawCylinderShade() {
    CylinderShade shade;
    shade.r1 = DrawShadeFraction();
    shade.r2 = DrawShadeFraction();
    shade.r3 = DrawShadeFraction();
    return shade;
}

float BeatPulse(float soundtrackBeat, float time) {
    if (soundtrackBeat < kPulseStartBeat)
        return 1.0f;
    const float u = 4.0f * time;
    return 4.0f - (u - 4.0f * std::floor(u * 0.25f));
}

Vector4 CylinderColor(const CylinderShade& shade, float time, float pulse) {
    const float g = shade.r1 * 0.5f + 0.35f;
    Vector4 c(g, g, g, 1.5f);
    if (std::sin(2.0f * shade.r1 * time) < g)
        c = Vector4(10.0f * shade.r1 * 0.6f, 10.0f * shade.r2 * 0.8f, 10.0f * shade.r3 * 0.9f, 10.0f);
    // Grey takes a gentler share of the pulse than colour does.
    const float share = (c.y == c.x || c.z == c.x) ? pulse / 3.0f : pulse / 2.0f;
    return Vector4(c.x + share, c.y + share, c.z + share, c.w + share);
}

void FillGreetingsCloud(std::span<ParticleRecord> records) {
    quarn::srand(0);
    for (ParticleRecord& record : records) {
        const float theta = static_cast<float>((DrawCloudFraction() - 1.0) * 2.0 * 3.141592);
        const double rho = (DrawCloudFraction() - 1.0) * 100.0 - 50.0;
        record.x = static_cast<float>(std::cos(theta) * rho);
        record.y = static_cast<float>(std::sin(theta) * rho);
        record.z = static_cast<float>(DrawCloudFraction() * 500.0 - 100.0);
        record.w = static_cast<float>(DrawCloudFraction() + 0.1);
    }
}
