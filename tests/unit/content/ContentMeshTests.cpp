#include <gtest/gtest.h>

#include "formats/Model.h"
#include "math/Vector3.h"
#include "support/ContentFiles.h"
#include "support/LogRecorder.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

namespace {

struct ExpectedMesh {
    const char* file;
    uint32_t floatsPerVertex;
};

constexpr ExpectedMesh kMeshes[] = {
    {"Models/Sphere2.exm", 6}, {"Models/Spineball.exm", 6}, {"Models/BackgroundTex.exm", 8},
    {"Models/Gem.exm", 6},     {"Models/WingBg.exm", 6},    {"Models/7sidecylinder.exm", 8},
    {"Models/kav.exm", 6},     {"Models/coolball.exm", 6},
};

class GeneratedMesh {
public:
    GeneratedMesh(const char* file, uint32_t floatsPerVertex) : stride_(floatsPerVertex) {
        LogRecorder log;
        LoadModel(model_, RunPath(file).c_str(), static_cast<VertexLayout>(floatsPerVertex));
        logLines_ = log.lines;
    }

    const Model& model() const { return model_; }
    const std::vector<std::string>& logLines() const { return logLines_; }
    uint32_t VertexCount() const { return model_.floatCount / stride_; }
    uint32_t TriangleCount() const { return model_.indexCount / 3; }
    Vector3 Position(uint32_t v) const { return At(v, 0); }
    Vector3 Normal(uint32_t v) const { return At(v, 3); }
    uint32_t Index(uint32_t i) const { return model_.indices[i]; }

    // Counter-clockwise seen from outside gives a face normal pointing out of the triangle's front.
    Vector3 FaceNormal(uint32_t triangle) const {
        const Vector3 a = Position(Index(3 * triangle)), b = Position(Index(3 * triangle + 1)),
                      c = Position(Index(3 * triangle + 2));
        return Cross(b - a, c - a);
    }
    Vector3 Centroid(uint32_t triangle) const {
        return (Position(Index(3 * triangle)) + Position(Index(3 * triangle + 1)) + Position(Index(3 * triangle + 2))) / 3.0f;
    }

    // How many triangles face away from (or, with `inward`, towards) the point `centre`.
    int TrianglesFacing(const Vector3& centre, bool inward) const {
        int count = 0;
        for (uint32_t t = 0; t < TriangleCount(); ++t) {
            const float side = Dot(FaceNormal(t), Centroid(t) - centre);
            count += inward ? side < 0.0f : side > 0.0f;
        }
        return count;
    }

    float MinRadius(const Vector3& centre) const { return Extreme(centre, false); }
    float MaxRadius(const Vector3& centre) const { return Extreme(centre, true); }

private:
    Vector3 At(uint32_t v, uint32_t offset) const {
        const float* f = &model_.vertices[static_cast<size_t>(v) * stride_ + offset];
        return {f[0], f[1], f[2]};
    }
    float Extreme(const Vector3& centre, bool largest) const {
        float result = largest ? 0.0f : 1e30f;
        for (uint32_t v = 0; v < VertexCount(); ++v) {
            const float r = Length(Position(v) - centre);
            result = largest ? std::max(result, r) : std::min(result, r);
        }
        return result;
    }

    uint32_t stride_;
    Model model_;
    std::vector<std::string> logLines_;
};

}  // namespace

TEST(ContentMeshes, EveryMeshLoadsWithItsLayoutSoundIndicesAndUnitNormals) {
    QUARN_REQUIRE_CONTENT();
    for (const ExpectedMesh& expected : kMeshes) {
        SCOPED_TRACE(expected.file);
        const GeneratedMesh mesh(expected.file, expected.floatsPerVertex);
        EXPECT_TRUE(mesh.logLines().empty());
        ASSERT_GT(mesh.model().floatCount, 0u);
        EXPECT_EQ(mesh.model().floatCount % expected.floatsPerVertex, 0u);
        EXPECT_EQ(mesh.model().reserved, expected.floatsPerVertex);
        ASSERT_GT(mesh.model().indexCount, 0u);
        EXPECT_EQ(mesh.model().indexCount % 3, 0u);
        uint32_t outOfRange = 0, badNormals = 0, degenerate = 0;
        for (uint32_t i = 0; i < mesh.model().indexCount; ++i)
            outOfRange += mesh.Index(i) >= mesh.VertexCount();
        for (uint32_t v = 0; v < mesh.VertexCount(); ++v)
            badNormals += std::fabs(Length(mesh.Normal(v)) - 1.0f) > 1e-3f;
        ASSERT_EQ(outOfRange, 0u);
        EXPECT_EQ(badNormals, 0u);
        for (uint32_t t = 0; t < mesh.TriangleCount(); ++t)
            degenerate += Length(mesh.FaceNormal(t)) < 1e-9f;
        EXPECT_EQ(degenerate, 0u);
    }
}

// Each sphere vertex moves by its own phase, so a duplicated position would tear open; the
// phases run in vertex order, which must go ring by ring from pole to pole.
TEST(ContentMeshes, SphereHasOneVertexPerPositionInRingOrderAndRoomToBulge) {
    QUARN_REQUIRE_CONTENT();
    const GeneratedMesh sphere("Models/Sphere2.exm", 6);
    std::set<std::tuple<float, float, float>> positions;
    float previousY = 1e30f;
    uint32_t rising = 0;
    for (uint32_t v = 0; v < sphere.VertexCount(); ++v) {
        const Vector3 p = sphere.Position(v);
        positions.emplace(p.x, p.y, p.z);
        rising += p.y > previousY + 1e-6f;
        previousY = p.y;
    }
    EXPECT_EQ(positions.size(), sphere.VertexCount());
    EXPECT_EQ(rising, 0u);
    EXPECT_GE(sphere.VertexCount(), 2000u);
    EXPECT_LE(sphere.VertexCount(), 8000u);
    // Doubled by the effect, the sphere must survive inward bulges of 3 units.
    EXPECT_GT(2.0f * sphere.MinRadius({}), 3.5f);
    EXPECT_EQ(sphere.TrianglesFacing({}, false), static_cast<int>(sphere.TriangleCount()));
}

TEST(ContentMeshes, ClosedShapesFaceOutwardAndRoomsFaceInward) {
    QUARN_REQUIRE_CONTENT();
    const GeneratedMesh gem("Models/Gem.exm", 6);
    EXPECT_EQ(gem.TrianglesFacing({}, false), static_cast<int>(gem.TriangleCount()));
    // Flat-shaded: every facet's vertices carry the facet's own normal.
    for (uint32_t t = 0; t < gem.TriangleCount(); ++t)
        for (int corner = 0; corner < 3; ++corner)
            ASSERT_GT(Dot(Normalize(gem.FaceNormal(t)), gem.Normal(gem.Index(3 * t + corner))), 0.9999f);

    for (const ExpectedMesh& room : {ExpectedMesh{"Models/BackgroundTex.exm", 8}, ExpectedMesh{"Models/WingBg.exm", 6}}) {
        SCOPED_TRACE(room.file);
        const GeneratedMesh mesh(room.file, room.floatsPerVertex);
        EXPECT_EQ(mesh.TrianglesFacing({}, true), static_cast<int>(mesh.TriangleCount()));
    }
    const GeneratedMesh cylinder("Models/7sidecylinder.exm", 8);
    EXPECT_EQ(cylinder.TrianglesFacing({}, false), static_cast<int>(cylinder.TriangleCount()));
}

// Where the effects put the meshes, they must neither hide each other nor leave the camera
// outside the rooms.
TEST(ContentMeshes, MeshesFitTheScenesTheEffectsBuild) {
    QUARN_REQUIRE_CONTENT();
    const GeneratedMesh sphere("Models/Sphere2.exm", 6);
    const GeneratedMesh spineball("Models/Spineball.exm", 6);
    // Spiky ball: positions x3 at load, x2 when twisted; the sphere's bulges reach 2r + 3.
    EXPECT_GT(6.0f * spineball.MinRadius({}), 2.0f * sphere.MaxRadius({}) + 3.0f);

    // The helix spans radius 20 and 30 to 123 units up; the hall is scaled by 30.
    const GeneratedMesh hall("Models/WingBg.exm", 6);
    EXPECT_GT(30.0f * hall.MinRadius({}), std::hypot(20.0f, 123.0f) + 40.0f);

    // The logo is turned about y and moved to x = -2.5: centred at x = -2.5 it is in the middle.
    const GeneratedMesh logo("Models/kav.exm", 6);
    float minX = 1e30f, maxX = -1e30f;
    for (uint32_t v = 0; v < logo.VertexCount(); ++v) {
        minX = std::min(minX, logo.Position(v).x);
        maxX = std::max(maxX, logo.Position(v).x);
    }
    EXPECT_NEAR(0.5f * (minX + maxX), -2.5f, 0.3f);
    EXPECT_GT(maxX - minX, 8.0f);
    // Its front (+z, which the turn shows to the camera) is the letters' face.
    int front = 0;
    for (uint32_t t = 0; t < logo.TriangleCount(); ++t)
        front += Normalize(logo.FaceNormal(t)).z > 0.99f;
    EXPECT_GT(front, static_cast<int>(logo.TriangleCount()) / 4);
}
