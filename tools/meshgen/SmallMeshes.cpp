#include "meshgen/Meshes.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Vector3 OnCircle(float angle, float radius, float y) {
    return {radius * std::cos(angle), y, radius * std::sin(angle)};
}

// A flat facet wound to face away from the origin (the gem is convex around it).
void AddOutwardFacet(MeshBuilder& mesh, const Vector3& a, const Vector3& b, const Vector3& c) {
    if (Dot(Cross(b - a, c - a), a + b + c) >= 0.0f)
        mesh.AddFacet(a, b, c);
    else
        mesh.AddFacet(a, c, b);
}

}  // namespace

// A round brilliant, 2.3 units across: the helix scales it by 2 and then by 0.5, and
// neighbours on the helix are 2 units apart, so the coil reads as a chain of touching stones,
// and a gem at the far side of the helix, 116 units from the camera, is still 12 pixels
// across. Every facet has its own vertices, flat-shaded.
MeshBuilder BuildGem() {
    constexpr int kTableSides = 8, kGirdleSides = 16;
    constexpr float kTableY = 0.5f, kTableRadius = 0.66f;
    constexpr float kGirdleTop = 0.08f, kGirdleBottom = -0.08f, kGirdleRadius = 1.15f;
    constexpr float kPavilionY = -0.5f, kPavilionRadius = 0.69f, kCuletY = -1.02f;
    MeshBuilder mesh(6);
    auto table = [&](int k) { return OnCircle(2.0f * kPi * k / kTableSides, kTableRadius, kTableY); };
    auto girdle = [&](int j, float y) { return OnCircle(2.0f * kPi * j / kGirdleSides, kGirdleRadius, y); };
    auto pavilion = [&](int k) { return OnCircle(2.0f * kPi * (k + 0.5f) / kTableSides, kPavilionRadius, kPavilionY); };

    const Vector3 tableCentre{0, kTableY, 0};
    for (int k = 0; k < kTableSides; ++k) {
        AddOutwardFacet(mesh, tableCentre, table(k), table(k + 1));
        // Crown: a star facet under each table edge, and two girdle facets beside it.
        AddOutwardFacet(mesh, table(k), table(k + 1), girdle(2 * k + 1, kGirdleTop));
        AddOutwardFacet(mesh, table(k), girdle(2 * k, kGirdleTop), girdle(2 * k + 1, kGirdleTop));
        AddOutwardFacet(mesh, table(k + 1), girdle(2 * k + 1, kGirdleTop), girdle(2 * k + 2, kGirdleTop));
    }
    for (int j = 0; j < kGirdleSides; ++j) {
        const Vector3 a = girdle(j, kGirdleTop), b = girdle(j + 1, kGirdleTop);
        const Vector3 c = girdle(j + 1, kGirdleBottom), d = girdle(j, kGirdleBottom);
        AddOutwardFacet(mesh, a, b, c);
        AddOutwardFacet(mesh, a, c, d);
    }
    // Pavilion: girdle facets down to a ring, then long mains to the culet.
    const Vector3 culet{0, kCuletY, 0};
    for (int k = 0; k < kTableSides; ++k) {
        AddOutwardFacet(mesh, girdle(2 * k + 1, kGirdleBottom), girdle(2 * k + 2, kGirdleBottom), pavilion(k));
        AddOutwardFacet(mesh, girdle(2 * k, kGirdleBottom), girdle(2 * k + 1, kGirdleBottom), pavilion(k));
        AddOutwardFacet(mesh, girdle(2 * k + 2, kGirdleBottom), pavilion(k + 1), pavilion(k));
        AddOutwardFacet(mesh, pavilion(k), pavilion(k + 1), culet);
    }
    return mesh;
}

// One of the 4000 little cylinders of the greetings tube: its axis is y, which the effect
// turns onto the tube's length; rings are 2 units apart, so it is 1.6 long and 0.35 thick.
// Sides are flat-shaded, u runs once around, v along the axis.
MeshBuilder BuildCylinder() {
    constexpr int kSides = 7;
    constexpr float kRadius = 0.35f, kHalfLength = 0.8f;
    MeshBuilder mesh(8);
    for (int side = 0; side < kSides; ++side) {
        const float a0 = 2.0f * kPi * side / kSides, a1 = 2.0f * kPi * (side + 1) / kSides;
        const Vector3 normal = OnCircle(0.5f * (a0 + a1), 1.0f, 0.0f);
        const float u0 = static_cast<float>(side) / kSides, u1 = static_cast<float>(side + 1) / kSides;
        const uint32_t top0 = mesh.AddVertex(OnCircle(a0, kRadius, kHalfLength), normal, {u0, 0});
        const uint32_t top1 = mesh.AddVertex(OnCircle(a1, kRadius, kHalfLength), normal, {u1, 0});
        const uint32_t bottom1 = mesh.AddVertex(OnCircle(a1, kRadius, -kHalfLength), normal, {u1, 1});
        const uint32_t bottom0 = mesh.AddVertex(OnCircle(a0, kRadius, -kHalfLength), normal, {u0, 1});
        AddTriangleFacing(mesh, top0, top1, bottom1, normal);
        AddTriangleFacing(mesh, top0, bottom1, bottom0, normal);
    }
    for (const float y : {kHalfLength, -kHalfLength}) {
        const Vector3 normal{0, y > 0 ? 1.0f : -1.0f, 0};
        const uint32_t centre = mesh.AddVertex({0, y, 0}, normal, {0.5f, 0.5f});
        std::vector<uint32_t> rim;
        for (int side = 0; side < kSides; ++side) {
            const float angle = 2.0f * kPi * side / kSides;
            rim.push_back(mesh.AddVertex(OnCircle(angle, kRadius, y), normal,
                                         {0.5f + 0.5f * std::cos(angle), 0.5f + 0.5f * std::sin(angle)}));
        }
        for (int side = 0; side < kSides; ++side)
            AddTriangleFacing(mesh, centre, rim[side], rim[(side + 1) % kSides], normal);
    }
    return mesh;
}
