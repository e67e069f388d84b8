#include "content/Font.h"
#include "meshgen/Meshes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr float kEmPixels = 128.0f;
constexpr float kIso = 0.5f;
constexpr float kLogoWidth = 12.0f;
constexpr float kDepth = 1.2f;
// The effect turns the logo by 180 degrees about y and moves it 2.5 units to -x: centred
// here at x = -2.5, it stands in the middle of the picture.
constexpr float kCentreX = -2.5f;

// A point of a marching-squares cell: a grid corner, or where the outline crosses a cell edge.
struct OutlinePoint {
    int64_t key;   // identifies the point across neighbouring cells
    float px, py;  // field coordinates, y down
    bool onEdge;   // on the outline (not a corner inside the letters)
};

class LogoExtruder {
public:
    LogoExtruder(const TextField& field, MeshBuilder& mesh) : field_(field), mesh_(mesh) {
        scale_ = kLogoWidth / field.width;
    }

    void Run() {
        for (int y = 0; y + 1 < field_.height; ++y)
            for (int x = 0; x + 1 < field_.width; ++x)
                Cell(x, y);
        for (auto& [key, wall] : walls_) {
            const Vector3 normal = Normalize(wall.normal);
            mesh_.SetNormal(wall.front, normal);
            mesh_.SetNormal(wall.back, normal);
        }
    }

private:
    struct Wall {
        uint32_t front = 0, back = 0;
        Vector3 normal;
    };

    bool Inside(int x, int y) const { return field_.At(x, y) >= kIso; }

    OutlinePoint Corner(int x, int y) const {
        return {(static_cast<int64_t>(y) * field_.width + x) * 4, static_cast<float>(x), static_cast<float>(y), false};
    }

    // The crossing on the edge from corner (x0, y0) to its right (horizontal) or lower neighbour.
    OutlinePoint Crossing(int x0, int y0, bool horizontal) const {
        const int x1 = horizontal ? x0 + 1 : x0, y1 = horizontal ? y0 : y0 + 1;
        const float v0 = field_.At(x0, y0), v1 = field_.At(x1, y1);
        const float t = (kIso - v0) / (v1 - v0);
        const int64_t key = (static_cast<int64_t>(y0) * field_.width + x0) * 4 + (horizontal ? 1 : 2);
        return {key, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, true};
    }

    Vector3 Place(const OutlinePoint& p, float z) const {
        return {kCentreX + (p.px - field_.width * 0.5f) * scale_, -(p.py - field_.height * 0.5f) * scale_, z};
    }

    uint32_t CapVertex(const OutlinePoint& p, bool front) {
        auto& cache = front ? frontCaps_ : backCaps_;
        if (const auto found = cache.find(p.key); found != cache.end())
            return found->second;
        const float z = front ? kDepth * 0.5f : -kDepth * 0.5f;
        const uint32_t vertex = mesh_.AddVertex(Place(p, z), {0, 0, front ? 1.0f : -1.0f});
        cache.emplace(p.key, vertex);
        return vertex;
    }

    Wall& WallAt(const OutlinePoint& p) {
        auto [it, added] = walls_.try_emplace(p.key);
        if (added) {
            it->second.front = mesh_.AddVertex(Place(p, kDepth * 0.5f), {});
            it->second.back = mesh_.AddVertex(Place(p, -kDepth * 0.5f), {});
        }
        return it->second;
    }

    void Cell(int x, int y) {
        const bool in[4] = {Inside(x, y), Inside(x + 1, y), Inside(x + 1, y + 1), Inside(x, y + 1)};
        const int count = in[0] + in[1] + in[2] + in[3];
        if (count == 0)
            return;
        const OutlinePoint corners[4] = {Corner(x, y), Corner(x + 1, y), Corner(x + 1, y + 1), Corner(x, y + 1)};
        const OutlinePoint crossings[4] = {Crossing(x, y, true), Crossing(x + 1, y, false), Crossing(x, y + 1, true),
                                           Crossing(x, y, false)};
        // A saddle whose middle is outside is two separate corners, not one band.
        const bool saddle = count == 2 && in[0] == in[2];
        const float middle = 0.25f * (field_.At(x, y) + field_.At(x + 1, y) + field_.At(x + 1, y + 1) + field_.At(x, y + 1));
        if (saddle && middle < kIso) {
            for (int c = 0; c < 4; ++c)
                if (in[c])
                    Polygon({corners[c], crossings[c], crossings[(c + 3) % 4]});
            return;
        }
        // Walk the cell's border, keeping inside corners and the crossings between.
        std::vector<OutlinePoint> polygon;
        for (int c = 0; c < 4; ++c) {
            if (in[c])
                polygon.push_back(corners[c]);
            if (in[c] != in[(c + 1) % 4])
                polygon.push_back(crossings[c]);
        }
        Polygon(polygon);
    }

    // One convex piece of the letters: front and back caps, and a wall along its outline.
    void Polygon(std::vector<OutlinePoint> points) {
        if (points.size() < 3)
            return;
        // Field y runs down, so a walk that is clockwise on screen is counter-clockwise here
        // only after flipping; make it counter-clockwise seen from the front (+z).
        float area = 0.0f;
        for (size_t i = 0; i < points.size(); ++i) {
            const OutlinePoint& a = points[i];
            const OutlinePoint& b = points[(i + 1) % points.size()];
            area += a.px * -b.py - b.px * -a.py;
        }
        if (area < 0.0f)
            std::reverse(points.begin(), points.end());

        for (size_t i = 1; i + 1 < points.size(); ++i) {
            mesh_.AddTriangle(CapVertex(points[0], true), CapVertex(points[i], true), CapVertex(points[i + 1], true));
            mesh_.AddTriangle(CapVertex(points[0], false), CapVertex(points[i + 1], false), CapVertex(points[i], false));
        }
        for (size_t i = 0; i < points.size(); ++i) {
            const OutlinePoint& a = points[i];
            const OutlinePoint& b = points[(i + 1) % points.size()];
            if (a.onEdge && b.onEdge && a.key != b.key)
                AddWall(a, b);
        }
    }

    // The outline runs counter-clockwise around the inside, so the outside is on its right.
    void AddWall(const OutlinePoint& a, const OutlinePoint& b) {
        const Vector3 pa = Place(a, 0.0f), pb = Place(b, 0.0f);
        const Vector3 along = pb - pa;
        const Vector3 outward = Normalize(Vector3{along.y, -along.x, 0.0f});
        Wall& wa = WallAt(a);
        Wall& wb = WallAt(b);
        wa.normal = wa.normal + outward;
        wb.normal = wb.normal + outward;
        AddTriangleFacing(mesh_, wa.front, wa.back, wb.back, outward);
        AddTriangleFacing(mesh_, wa.front, wb.back, wb.front, outward);
    }

    const TextField& field_;
    MeshBuilder& mesh_;
    float scale_ = 1.0f;
    std::unordered_map<int64_t, uint32_t> frontCaps_, backCaps_;
    std::unordered_map<int64_t, Wall> walls_;
};

}  // namespace

// The group's name in bold capitals, 12 units wide and 1.2 deep, read from the front (+z).
MeshBuilder BuildLogo(const Font& font, const std::string& text) {
    MeshBuilder mesh(6);
    const TextField field = font.Coverage(text, kEmPixels, 4);
    LogoExtruder(field, mesh).Run();
    return mesh;
}
