#include "content/Noise.h"

#include <cmath>

namespace {

uint32_t Mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float Lattice(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    return Hash01(x, y, z, seed) * 2.0f - 1.0f;
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float Mixf(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

float Hash01(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    uint32_t h = Mix(seed ^ 0x9E3779B9u);
    h = Mix(h ^ static_cast<uint32_t>(x));
    h = Mix(h ^ static_cast<uint32_t>(y));
    h = Mix(h ^ static_cast<uint32_t>(z));
    return (h >> 8) * (1.0f / 16777216.0f);
}

float ValueNoise(float x, float y, float z, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy), iz = static_cast<int32_t>(fz);
    const float u = Fade(x - fx), v = Fade(y - fy), w = Fade(z - fz);
    auto corner = [&](int dx, int dy, int dz) { return Lattice(ix + dx, iy + dy, iz + dz, seed); };
    const float x00 = Mixf(corner(0, 0, 0), corner(1, 0, 0), u);
    const float x10 = Mixf(corner(0, 1, 0), corner(1, 1, 0), u);
    const float x01 = Mixf(corner(0, 0, 1), corner(1, 0, 1), u);
    const float x11 = Mixf(corner(0, 1, 1), corner(1, 1, 1), u);
    return Mixf(Mixf(x00, x10, v), Mixf(x01, x11, v), w);
}

float FractalNoise(float x, float y, float z, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += ValueNoise(x, y, z, seed + octave) * amplitude;
        total += amplitude;
        x *= 2.0f, y *= 2.0f, z *= 2.0f;
        amplitude *= 0.5f;
    }
    return sum / total;
}
