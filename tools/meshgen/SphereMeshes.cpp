#include "content/Noise.h"
#include "meshgen/Icosphere.h"
#include "meshgen/Meshes.h"

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Orthonormal pair perpendicular to a unit axis.
void Perpendiculars(const Vector3& axis, Vector3& e1, Vector3& e2) {
    const Vector3 helper = std::fabs(axis.y) < 0.9f ? Vector3{0, 1, 0} : Vector3{1, 0, 0};
    e1 = Normalize(Cross(helper, axis));
    e2 = Cross(axis, e1);
}

void AddIcosphere(MeshBuilder& mesh, const Icosphere& sphere, const Vector3& centre, float radius) {
    const uint32_t base = mesh.VertexCount();
    for (const Vector3& p : sphere.points)
        mesh.AddVertex(centre + p * radius, p);
    for (const auto& [a, b, c] : sphere.faces)
        mesh.AddTriangle(base + a, base + b, base + c);
}

// A cone standing on the sphere of `baseRadius` around `centre`, pointing along `axis`.
void AddSpike(MeshBuilder& mesh, const Vector3& centre, const Vector3& axis, float baseDistance, float tipDistance,
              float baseRadius, int sides) {
    Vector3 e1, e2;
    Perpendiculars(axis, e1, e2);
    const Vector3 baseCentre = centre + axis * baseDistance;
    const Vector3 tip = centre + axis * tipDistance;
    const float height = tipDistance - baseDistance;
    auto around = [&](float angle) { return e1 * std::cos(angle) + e2 * std::sin(angle); };
    auto sideNormal = [&](float angle) { return Normalize(around(angle) * height + axis * baseRadius); };
    for (int side = 0; side < sides; ++side) {
        const float a0 = 2.0f * kPi * side / sides, a1 = 2.0f * kPi * (side + 1) / sides;
        const uint32_t b0 = mesh.AddVertex(baseCentre + around(a0) * baseRadius, sideNormal(a0));
        const uint32_t b1 = mesh.AddVertex(baseCentre + around(a1) * baseRadius, sideNormal(a1));
        const uint32_t t = mesh.AddVertex(tip, sideNormal(0.5f * (a0 + a1)));
        AddTriangleFacing(mesh, b0, b1, t, around(0.5f * (a0 + a1)));
    }
}

}  // namespace

void AddTriangleFacing(MeshBuilder& mesh, uint32_t a, uint32_t b, uint32_t c, const Vector3& facing) {
    const Vector3 pa = mesh.Position(a);
    if (Dot(Cross(mesh.Position(b) - pa, mesh.Position(c) - pa), facing) >= 0.0f)
        mesh.AddTriangle(a, b, c);
    else
        mesh.AddTriangle(a, c, b);
}

// The morphing sphere: doubled by the effect (radius 5), its bulges reach 3 units. Each
// vertex moves by its own phase sin(t + index / 6), so there is exactly one vertex per
// position, listed pole, ring after ring, pole. 38 vertices a ring advance the phase by 6.33
// radians, just over one turn: one bulge around every ring, with a dent opposite, drifting by
// 0.05 radian from ring to ring into a slow twist. Three lobes a ring (113 vertices) fold the
// valleys between them into sharp creases once the bulges pass 1 unit; a single bulge keeps the
// surface round (its dent bends with a radius of 2 units at the deepest).
MeshBuilder BuildSphere() {
    constexpr float kRadius = 2.5f;
    constexpr int kRings = 60, kSegments = 38;
    MeshBuilder mesh(6);
    auto point = [](float latitude, float longitude) {
        return Vector3{std::sin(latitude) * std::cos(longitude), std::cos(latitude), std::sin(latitude) * std::sin(longitude)};
    };
    const uint32_t north = mesh.AddVertex({0, kRadius, 0}, {0, 1, 0});
    for (int ring = 1; ring <= kRings; ++ring)
        for (int segment = 0; segment < kSegments; ++segment) {
            const Vector3 n = point(kPi * ring / (kRings + 1), 2.0f * kPi * segment / kSegments);
            mesh.AddVertex(n * kRadius, n);
        }
    const uint32_t south = mesh.AddVertex({0, -kRadius, 0}, {0, -1, 0});

    auto at = [](int ring, int segment) { return 1u + (ring - 1) * kSegments + (segment % kSegments); };
    for (int segment = 0; segment < kSegments; ++segment) {
        AddTriangleFacing(mesh, north, at(1, segment), at(1, segment + 1), {0, 1, 0});
        AddTriangleFacing(mesh, south, at(kRings, segment), at(kRings, segment + 1), {0, -1, 0});
        for (int ring = 1; ring < kRings; ++ring) {
            const uint32_t a = at(ring, segment), b = at(ring, segment + 1);
            const uint32_t c = at(ring + 1, segment + 1), d = at(ring + 1, segment);
            const Vector3 outward = mesh.Position(a) + mesh.Position(c);
            AddTriangleFacing(mesh, a, b, c, outward);
            AddTriangleFacing(mesh, a, c, d, outward);
        }
    }
    return mesh;
}

// The spiky ball is scaled by 6 in the end and twisted about the axis (1, 1, 0) through the
// origin. Its centre sits on that axis, 16 units out, so the twist turns it about its own
// middle and it floats beside the sphere instead of orbiting through it.
MeshBuilder BuildSpineball() {
    const Vector3 centre = Normalize(Vector3{1, 1, 0}) * (16.0f / 6.0f);
    constexpr float kCore = 0.55f, kTip = 1.1f;
    MeshBuilder mesh(6);
    AddIcosphere(mesh, MakeIcosphere(3), centre, kCore);
    for (const Vector3& axis : MakeIcosphere(1).points)
        AddSpike(mesh, centre, axis, kCore * 0.9f, kTip, 0.11f, 8);
    return mesh;
}

// The planet is scaled by 10 to 18 and must leave room for the emitter's shapes (radius 1
// to 3) around it: a small rocky ball with a tilted ring.
MeshBuilder BuildPlanet() {
    constexpr float kRadius = 0.1f;
    constexpr uint32_t kSeed = 7;
    MeshBuilder mesh(6);
    const Icosphere sphere = MakeIcosphere(4);
    for (const Vector3& p : sphere.points) {
        const float relief = FractalNoise(p.x * 2.5f, p.y * 2.5f, p.z * 2.5f, 5, kSeed);
        // Plains below "sea level" stay smooth; land rises in ridges.
        const float height = relief > 0.0f ? relief * 0.09f : relief * 0.01f;
        mesh.AddVertex(p * (kRadius * (1.0f + height)), p);
    }
    for (const auto& [a, b, c] : sphere.faces)
        mesh.AddTriangle(a, b, c);
    mesh.ComputeSmoothNormals();

    // The ring, both sides, tilted by 25 degrees about x.
    constexpr int kSegments = 96;
    constexpr float kInner = kRadius * 1.55f, kOuter = kRadius * 2.35f;
    const float tilt = 25.0f * kPi / 180.0f;
    auto tilted = [&](const Vector3& v) {
        return Vector3{v.x, v.y * std::cos(tilt) - v.z * std::sin(tilt), v.y * std::sin(tilt) + v.z * std::cos(tilt)};
    };
    const Vector3 up = tilted({0, 1, 0});
    for (const Vector3& normal : {up, -up}) {
        const uint32_t base = mesh.VertexCount();
        for (int segment = 0; segment < kSegments; ++segment) {
            const float angle = 2.0f * kPi * segment / kSegments;
            const Vector3 dir{std::cos(angle), 0, std::sin(angle)};
            mesh.AddVertex(tilted(dir * kInner), normal);
            mesh.AddVertex(tilted(dir * kOuter), normal);
        }
        for (int segment = 0; segment < kSegments; ++segment) {
            const uint32_t i0 = base + 2 * segment, o0 = i0 + 1;
            const uint32_t i1 = base + 2 * ((segment + 1) % kSegments), o1 = i1 + 1;
            AddTriangleFacing(mesh, i0, o0, o1, normal);
            AddTriangleFacing(mesh, i0, o1, i1, normal);
        }
    }
    return mesh;
}
