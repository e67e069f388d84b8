#include "meshgen/Meshes.h"

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A flat disc of the backdrop at height y, seen from inside the room.
void AddBackdropCap(MeshBuilder& mesh, float y, int segments) {
    const Vector3 inward{0, -y, 0};
    const uint32_t centre = mesh.AddVertex({0, y, 0}, inward, {0.5f, 0.5f});
    const uint32_t first = mesh.VertexCount();
    for (int segment = 0; segment < segments; ++segment) {
        const float angle = 2.0f * kPi * segment / segments;
        const float x = std::cos(angle), z = std::sin(angle);
        mesh.AddVertex({x, y, z}, inward, {0.5f + 0.5f * x, 0.5f + 0.5f * z});
    }
    for (int segment = 0; segment < segments; ++segment)
        AddTriangleFacing(mesh, centre, first + segment, first + (segment + 1) % segments, inward);
}

}  // namespace

// The sphere scene's room: a unit drum the effect stretches to radius 50 and height 70, seen
// from inside. The wall shows the texture four times around (the samplers clamp, so every
// quarter has its own run of u from 0 to 1); floor and ceiling are mapped from above.
MeshBuilder BuildBackdrop() {
    constexpr int kQuarters = 4, kSegmentsPerQuarter = 16;
    MeshBuilder mesh(8);
    for (int quarter = 0; quarter < kQuarters; ++quarter) {
        const uint32_t first = mesh.VertexCount();
        for (int step = 0; step <= kSegmentsPerQuarter; ++step) {
            const float u = static_cast<float>(step) / kSegmentsPerQuarter;
            const float angle = 2.0f * kPi * (quarter + u) / kQuarters;
            const Vector3 inward{-std::cos(angle), 0, -std::sin(angle)};
            mesh.AddVertex({-inward.x, 1, -inward.z}, inward, {u, 0});
            mesh.AddVertex({-inward.x, -1, -inward.z}, inward, {u, 1});
        }
        for (int step = 0; step < kSegmentsPerQuarter; ++step) {
            const uint32_t top0 = first + 2 * step, bottom0 = top0 + 1, top1 = top0 + 2, bottom1 = top0 + 3;
            const Vector3 inward = mesh.Normal(top0) + mesh.Normal(top1);
            AddTriangleFacing(mesh, top0, bottom0, bottom1, inward);
            AddTriangleFacing(mesh, top0, bottom1, top1, inward);
        }
    }
    AddBackdropCap(mesh, 1.0f, kQuarters * kSegmentsPerQuarter);
    AddBackdropCap(mesh, -1.0f, kQuarters * kSegmentsPerQuarter);
    return mesh;
}

// The cube tunnel's sky: scaled by 30 it is a hall of radius about 210 around the helix
// (radius 20, 30 to 140 units up) and the camera, seen from inside. Its wall is folded into
// twelve wing-like ribs that sweep round as they climb, catching the reflections.
MeshBuilder BuildWingBackground() {
    constexpr float kRadius = 7.0f;
    constexpr int kRings = 48, kSegments = 96;
    MeshBuilder mesh(6);
    auto point = [&](float latitude, float longitude) {
        const float s = std::sin(latitude);
        const float rib = std::sin(6.0f * longitude + 2.5f * std::cos(latitude));
        const float r = kRadius * (1.0f + 0.09f * rib * s * s);
        return Vector3{s * std::cos(longitude), std::cos(latitude), s * std::sin(longitude)} * r;
    };
    const uint32_t north = mesh.AddVertex({0, kRadius, 0}, {0, -1, 0});
    for (int ring = 1; ring <= kRings; ++ring)
        for (int segment = 0; segment < kSegments; ++segment)
            mesh.AddVertex(point(kPi * ring / (kRings + 1), 2.0f * kPi * segment / kSegments), {0, 1, 0});
    const uint32_t south = mesh.AddVertex({0, -kRadius, 0}, {0, 1, 0});

    auto at = [](int ring, int segment) { return 1u + (ring - 1) * kSegments + (segment % kSegments); };
    for (int segment = 0; segment < kSegments; ++segment) {
        AddTriangleFacing(mesh, north, at(1, segment), at(1, segment + 1), {0, -1, 0});
        AddTriangleFacing(mesh, south, at(kRings, segment), at(kRings, segment + 1), {0, 1, 0});
        for (int ring = 1; ring < kRings; ++ring) {
            const uint32_t a = at(ring, segment), b = at(ring, segment + 1);
            const uint32_t c = at(ring + 1, segment + 1), d = at(ring + 1, segment);
            const Vector3 inward = -(mesh.Position(a) + mesh.Position(c));
            AddTriangleFacing(mesh, a, b, c, inward);
            AddTriangleFacing(mesh, a, c, d, inward);
        }
    }
    // Winding faces inward, so the averaged face normals point at the viewer inside.
    mesh.ComputeSmoothNormals();
    return mesh;
}
