#include "content/Noise.h"
#include "imagegen/Images.h"

#include <algorithm>
#include <cmath>

namespace {

// Value noise that repeats every `period` lattice cells, so textures tile without a seam.
float TilingNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    auto lattice = [&](int dx, int dy) {
        const int wx = ((ix + dx) % period + period) % period, wy = ((iy + dy) % period + period) % period;
        return Hash01(wx, wy, 0, seed);
    };
    auto smooth = [](float t) { return t * t * (3.0f - 2.0f * t); };
    const float u = smooth(x - fx), v = smooth(y - fy);
    const float top = lattice(0, 0) + (lattice(1, 0) - lattice(0, 0)) * u;
    const float bottom = lattice(0, 1) + (lattice(1, 1) - lattice(0, 1)) * u;
    return top + (bottom - top) * v;
}

// Octaves of tiling noise over the whole image (u, v in 0..1); 0..1.
float TilingFractal(float u, float v, int basePeriod, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int octave = 0, period = basePeriod; octave < octaves; ++octave, period *= 2) {
        sum += TilingNoise(u * period, v * period, period, seed + octave) * amplitude;
        total += amplitude;
        amplitude *= 0.5f;
    }
    return sum / total;
}

}  // namespace

// The sphere scene's wall: dark steel panels with bevelled edges, a cyan glow in the seams
// and a lamp on some panels. Tiles both ways (the wall shows it four times around).
Image PaintBackdropTexture() {
    constexpr int kSize = 512, kPanels = 4, kPanel = kSize / kPanels;
    Image image(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const int px = x / kPanel, py = y / kPanel;
            const float lx = (x % kPanel + 0.5f) / kPanel, ly = (y % kPanel + 0.5f) / kPanel;
            const float u = (x + 0.5f) / kSize, v = (y + 0.5f) / kSize;
            const float grime = TilingFractal(u, v, 8, 5, 11);
            const float tone = 0.75f + 0.5f * Hash01(px, py, 0, 3);
            Colour c{0.10f * tone, 0.13f * tone, 0.19f * tone, 1};
            c = c * (0.6f + 0.8f * grime);

            // Bevel: light from the top left.
            const float border = std::min({lx, ly, 1.0f - lx, 1.0f - ly});
            if (border < 0.06f) {
                const bool lit = (lx < 0.06f || ly < 0.06f) && !(1.0f - lx < 0.06f || 1.0f - ly < 0.06f);
                c = c * (lit ? 1.9f : 0.45f);
            }
            // Seams between panels glow.
            const float seam = std::exp(-std::pow(border * kPanel / 1.6f, 2.0f));
            c = c + Colour{0.15f, 0.75f, 0.95f, 0} * seam;

            // A round lamp on every third panel or so.
            if (Hash01(px, py, 1, 5) < 0.35f) {
                const float r = std::hypot(lx - 0.5f, ly - 0.5f);
                const float ring = std::exp(-std::pow((r - 0.22f) / 0.025f, 2.0f));
                const float glow = std::exp(-std::pow(r / 0.12f, 2.0f));
                c = c + Colour{1.0f, 0.55f, 0.2f, 0} * (0.8f * ring + 0.5f * glow);
            }
            // Fine horizontal brushing.
            c = c * (0.92f + 0.16f * TilingNoise(u * 4, v * 256, 256, 9) * TilingNoise(u * 64, v * 4, 64, 10));
            image.At(x, y) = c;
        }
    return image;
}

// The greetings cylinders' skin: rows of bevelled pyramids lit from the top left, a light
// warm grey that the cylinders' own colours tint.
Image PaintPyramidTexture() {
    constexpr int kSize = 256, kCells = 8, kCell = kSize / kCells;
    Image image(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float lx = (x % kCell + 0.5f) / kCell * 2.0f - 1.0f, ly = (y % kCell + 0.5f) / kCell * 2.0f - 1.0f;
            // Which of the four sloping faces this pixel is on decides its light.
            float light;
            if (std::fabs(lx) > std::fabs(ly))
                light = lx < 0 ? 1.0f : 0.35f;
            else
                light = ly < 0 ? 0.85f : 0.5f;
            const float apex = 1.0f - std::max(std::fabs(lx), std::fabs(ly));
            const float groove = apex < 0.08f ? 0.35f : 1.0f;
            const float speckle = 0.9f + 0.2f * TilingFractal((x + 0.5f) / kSize, (y + 0.5f) / kSize, 16, 3, 21);
            const float value = light * groove * speckle;
            image.At(x, y) = {0.78f * value + 0.1f, 0.72f * value + 0.08f, 0.62f * value + 0.08f, 1};
        }
    return image;
}
