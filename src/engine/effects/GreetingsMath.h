#pragma once
// The greetings tube and sprite cloud as the processor computes them. Single precision is
// rounded exactly where the look was tuned with it: ring angles are summed in float and the
// spin phase is rounded before its sine.

#include <span>

#include "effects/ParticleCloud.h"
#include "math/Matrix4.h"
#include "math/Random.h"
#include "math/Vector4.h"

inline constexpr int kTubeRingCount = 200;
inline constexpr float kRingAngleEnd = 6.2831855f;
// Soundtrack beat from which every cylinder pulses on the beats of the effect time.
inline constexpr float kPulseStartBeat = 188.99998f;

// The two phases of a frame, kept in double as the effect time scales into them.
struct TubePhases {
    double breathing = 0.0;  // time / 4: the rings' radii
    double spin = 0.0;       // time / 32: the cylinders' spin and the overlay's drift
};
TubePhases PhasesAt(float time);

// Radius factor of ring `ring`: sin(ring / 5 + breathing) + 1.5, from 0.5 to 2.5.
float RingRadius(int ring, double breathing);
// The next angle round a ring: a + 0.31415927, the sum rounded to float. Twenty steps from 0
// stay below kRingAngleEnd.
float NextRingAngle(float angle);
// Places a cylinder on ring `ring` (at z = 2 x ring) at `angle`, 5 x `radius` from the tube's
// axis: turned 90 degrees about x, after a spin of 720 x sin(angle + spin) degrees about the
// mesh's own y axis (angle + spin rounded to float first).
Matrix4 CylinderMatrix(float radius, int ring, float angle, double spin);

// The three random draws of one cylinder, each (rand() % 10000) / 20000, in [0, 0.49995].
struct CylinderShade {
    float r1 = 0.0f;
    float r2 = 0.0f;
    float r3 = 0.0f;
};
CylinderShade DrawCylinderShade();

// 1 before kPulseStartBeat; from there 4 at every whole beat of the effect time, falling
// linearly towards 0 just before the next.
float BeatPulse(float soundtrackBeat, float time);
// Grey (g, g, g, 1.5) with g = r1 / 2 + 0.35, or the shade's bright colour while
// sin(2 x r1 x time) < g; then the pulse is added, a third of it to grey and a half to colour.
Vector4 CylinderColor(const CylinderShade& shade, float time, float pulse);

// Reseeds the process-wide generator with 0, so every frame gives each cylinder the same shade,
// and hands visit(model, normalMatrix, color) the 4000 cylinders ring by ring.
template <typename Visit>
void ForEachCylinder(float time, float pulse, Visit&& visit) {
    const TubePhases phases = PhasesAt(time);
    quarn::srand(0);
    for (int ring = 0; ring < kTubeRingCount; ++ring) {
        const float radius = RingRadius(ring, phases.breathing);
        for (float angle = 0.0f; angle < kRingAngleEnd; angle = NextRingAngle(angle)) {
            const Matrix4 model = CylinderMatrix(radius, ring, angle, phases.spin);
            visit(model, Transpose(Inverse(model)), CylinderColor(DrawCylinderShade(), time, pulse));
        }
    }
}

// The scene's sprite cloud: seeds the process-wide generator with 0 and draws four values per
// record, a wide column of sprites about the z axis from z = -100 to 900.
void FillGreetingsCloud(std::span<ParticleRecord> records);
