#include "imagegen/Images.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kSpriteSize = 128;

// Paints a sprite from an intensity and colour at each point of the unit disc (-1..1 both
// ways). The glow is pushed to exactly black at the edge, so additive blending shows no
// square; alpha follows the brightness for sprites drawn with ordinary blending.
Image PaintSprite(const std::function<Colour(float x, float y)>& glow) {
    Image image(kSpriteSize, kSpriteSize, {0, 0, 0, 0});
    for (int y = 0; y < kSpriteSize; ++y)
        for (int x = 0; x < kSpriteSize; ++x) {
            const float fx = (x + 0.5f) / kSpriteSize * 2.0f - 1.0f;
            const float fy = (y + 0.5f) / kSpriteSize * 2.0f - 1.0f;
            const float r = std::sqrt(fx * fx + fy * fy);
            const float edge = std::clamp(1.0f - r, 0.0f, 1.0f);
            Colour c = glow(fx, fy) * (edge * edge * (3.0f - 2.0f * edge));
            c.a = std::clamp(std::max({c.r, c.g, c.b}), 0.0f, 1.0f);
            image.At(x, y) = c;
        }
    return image;
}

float Gaussian(float r, float width) { return std::exp(-(r * r) / (width * width)); }

}  // namespace

// A white core in a pale blue halo: the sprite clouds of every scene.
Image PaintFloater() {
    return PaintSprite([](float x, float y) {
        const float r = std::sqrt(x * x + y * y);
        const float core = Gaussian(r, 0.18f), halo = Gaussian(r, 0.5f);
        return Colour{core + 0.35f * halo, core + 0.55f * halo, core + 0.95f * halo, 1};
    });
}

// A warm ember with a faint ring: the planet's emitter.
Image PaintFloater2() {
    return PaintSprite([](float x, float y) {
        const float r = std::sqrt(x * x + y * y);
        const float core = Gaussian(r, 0.22f), ring = 0.35f * Gaussian(r - 0.62f, 0.12f), halo = Gaussian(r, 0.55f);
        return Colour{core + 0.95f * halo + ring, 0.85f * core + 0.45f * halo + 0.6f * ring,
                      0.6f * core + 0.15f * halo + 0.9f * ring, 1};
    });
}

// A four-pointed star: a soft core with thin flares along both axes.
Image PaintQuadFloater() {
    return PaintSprite([](float x, float y) {
        const float r = std::sqrt(x * x + y * y);
        const float flares = Gaussian(x, 0.05f) * Gaussian(y, 0.9f) + Gaussian(y, 0.05f) * Gaussian(x, 0.9f);
        const float core = Gaussian(r, 0.16f), halo = Gaussian(r, 0.45f);
        const float white = core + 0.8f * flares;
        return Colour{white + 0.4f * halo, white + 0.5f * halo, white + 0.8f * halo, 1};
    });
}
