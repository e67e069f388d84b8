#include "content/Noise.h"
#include "imagegen/Images.h"
#include "math/Vector3.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kFaceSize = 256;

struct CrossPlacement {
    int column, row;
    bool turned;  // stored turned by 180 degrees
};

// Faces in GL order (+X, -X, +Y, -Y, +Z, -Z) and where the vertical cross keeps them.
constexpr CrossPlacement kPlacements[6] = {{2, 1, false}, {0, 1, false}, {1, 0, false},
                                           {1, 2, false}, {1, 1, false}, {1, 3, true}};

// The direction GL samples at face coordinates s, t (0..1, t down the face's rows).
Vector3 FaceDirection(int face, float s, float t) {
    const float sc = 2.0f * s - 1.0f, tc = 2.0f * t - 1.0f;
    switch (face) {
        case 0: return {1, -tc, -sc};
        case 1: return {-1, -tc, sc};
        case 2: return {sc, 1, tc};
        case 3: return {sc, -1, -tc};
        case 4: return {sc, -tc, 1};
        default: return {-sc, -tc, -1};
    }
}

// Every face's outermost texels sample the exact edge of the cube, so the two faces that meet
// at an edge hold the same colours there: no seam once GL filters across it.
Image PaintCross(const std::function<Colour(const Vector3&)>& environment) {
    Image cross(3 * kFaceSize, 4 * kFaceSize, {0, 0, 0, 1});
    for (int face = 0; face < 6; ++face) {
        const CrossPlacement& place = kPlacements[face];
        for (int j = 0; j < kFaceSize; ++j)
            for (int i = 0; i < kFaceSize; ++i) {
                const float s = static_cast<float>(i) / (kFaceSize - 1), t = static_cast<float>(j) / (kFaceSize - 1);
                const Colour colour = environment(Normalize(FaceDirection(face, s, t)));
                const int x = place.turned ? kFaceSize - 1 - i : i, y = place.turned ? kFaceSize - 1 - j : j;
                cross.At(place.column * kFaceSize + x, place.row * kFaceSize + y) = colour;
            }
    }
    return cross;
}

float Spot(const Vector3& d, const Vector3& centre, float sharpness) {
    return std::exp((Dot(d, Normalize(centre)) - 1.0f) * sharpness);
}

// Bright points scattered over the sphere of directions, a random one in each cell of a
// 3-D grid; neighbouring cells are looked at too, so no star is cut at a cell border.
float Stars(const Vector3& d, float density, uint32_t seed) {
    const Vector3 p = d * density;
    const int cx = static_cast<int>(std::floor(p.x)), cy = static_cast<int>(std::floor(p.y)),
              cz = static_cast<int>(std::floor(p.z));
    float light = 0.0f;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = cx + dx, y = cy + dy, z = cz + dz;
                const float brightness = Hash01(x, y, z, seed + 3);
                if (brightness < 0.55f)
                    continue;
                const Vector3 star{x + Hash01(x, y, z, seed), y + Hash01(x, y, z, seed + 1), z + Hash01(x, y, z, seed + 2)};
                const Vector3 offset = p - star;
                light += 1.5f * std::pow(brightness, 4.0f) * std::exp(-Dot(offset, offset) / 0.012f);
            }
    return light;
}

}  // namespace

// A bright day: deep blue zenith, pale horizon, a sun, soft clouds, a few studio softboxes
// for the gems to flash in, and a dark tiled floor.
Image PaintSkyCross() {
    return PaintCross([](const Vector3& d) {
        Colour c;
        if (d.y >= 0.0f) {
            const float up = std::sqrt(d.y);
            c = Lerp(Colour{0.85f, 0.9f, 1.0f, 1}, Colour{0.08f, 0.22f, 0.6f, 1}, up);
            const float cloud = std::clamp(FractalNoise(d.x * 3.0f, d.y * 6.0f, d.z * 3.0f, 5, 41) * 2.2f, 0.0f, 1.0f);
            c = Lerp(c, Colour{1, 1, 1, 1}, cloud * std::min(1.0f, d.y * 4.0f) * 0.8f);
        } else {
            const float down = std::sqrt(-d.y);
            const float u = d.x / -d.y, v = d.z / -d.y;
            const float tile = (static_cast<int>(std::floor(u * 2)) + static_cast<int>(std::floor(v * 2))) & 1;
            const Colour floor = tile ? Colour{0.12f, 0.1f, 0.09f, 1} : Colour{0.22f, 0.19f, 0.16f, 1};
            c = Lerp(Colour{0.55f, 0.5f, 0.45f, 1}, floor, std::min(1.0f, down * 1.5f));
        }
        c = c + Colour{1.0f, 0.95f, 0.8f, 0} * (6.0f * Spot(d, {0.4f, 0.5f, 0.6f}, 900.0f) +
                                                0.4f * Spot(d, {0.4f, 0.5f, 0.6f}, 25.0f));
        // Softboxes: bright rectangles just above the horizon.
        for (const float azimuth : {0.6f, 2.4f, 4.2f}) {
            const float a = std::atan2(d.z, d.x) - azimuth;
            const float wrapped = std::atan2(std::sin(a), std::cos(a));
            if (std::fabs(wrapped) < 0.25f && d.y > 0.05f && d.y < 0.35f)
                c = c + Colour{2.5f, 2.5f, 2.4f, 0};
        }
        c.a = 1;
        return c;
    });
}

// Deep space: violet and teal nebulae over a field of stars.
Image PaintNebulaCross() {
    return PaintCross([](const Vector3& d) {
        Colour c{0.01f, 0.008f, 0.03f, 1};
        const float gas = std::clamp(FractalNoise(d.x * 1.8f, d.y * 1.8f, d.z * 1.8f, 6, 71) * 1.6f + 0.35f, 0.0f, 1.0f);
        const float hue = std::clamp(FractalNoise(d.x * 1.1f + 7, d.y * 1.1f, d.z * 1.1f, 3, 73) * 2.0f + 0.5f, 0.0f, 1.0f);
        const Colour tint = Lerp(Colour{0.55f, 0.12f, 0.65f, 0}, Colour{0.08f, 0.5f, 0.62f, 0}, hue);
        c = c + tint * (gas * gas * 1.3f);
        const float dust = std::clamp(FractalNoise(d.x * 5, d.y * 5, d.z * 5, 4, 79) * 3.0f, 0.0f, 1.0f);
        c = c * (1.0f - 0.45f * dust);
        const float stars = Stars(d, 60.0f, 83) + 0.6f * Stars(d, 140.0f, 89);
        c = c + Colour{0.9f, 0.92f, 1.0f, 0} * stars;
        c = c + Colour{1.0f, 0.7f, 0.9f, 0} * (0.8f * Spot(d, {-0.3f, 0.2f, -0.9f}, 60.0f));
        c.a = 1;
        return c;
    });
}
