#pragma once
// The sphere morph's processor-side shapes. Every function starts from the rest shapes, so a
// frame depends on the effect time alone and nothing accumulates between frames.

#include <span>

#include "effects/ParticleCloud.h"
#include "math/Vector3.h"

struct SphereVertexState {
    Vector3 normal;
    Vector3 rest;     // twice the mesh file's position
    Vector3 current;  // rest + this frame's bulge, before the pass's scale
};

// Upload layout of the sphere and the spiky ball: position, normal.
inline constexpr int kMorphFloatsPerVertex = 6;

// 3 at every whole beat of the effect time, falling linearly to -1 just before the next.
float MorphPulse(float time);
// Depth of the shell's bulges relative to the sphere's: 0 at time 0, growing with the time.
float ShellGain(float time);
// Phase of vertex j: sin(time + j / 6), so the bulges travel in the mesh's vertex order.
float MorphWave(float time, int vertex);

// Rest states from a mesh file's position + normal floats (whole vertices only).
void BuildSphereStates(std::span<const float> meshVertices, std::span<SphereVertexState> states);
// Pushes every vertex along its normal by wave x pulse x gain and writes (current x scale,
// normal) into `upload`, which holds kMorphFloatsPerVertex floats per state.
void MorphSphere(std::span<SphereVertexState> states, float time, float gain, float scale, std::span<float> upload);

// Degrees the spiky ball turns at `radius` from its centre: the twist wave runs outwards.
float TwistAngle(float time, float radius);
// Twists the rest positions (6 floats per vertex) about (1, 1, 0) and writes twice the twisted
// position into the matching floats of `upload`, leaving its normals as they are.
void TwistSpikyBall(std::span<const float> restVertices, float time, std::span<float> upload);

// The sphere morph's thick disc of sprites about the vertical axis. Seeds the process-wide
// generator with 0 and draws four values per record.
void FillParticleDisc(std::span<ParticleRecord> records);
