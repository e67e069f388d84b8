#include "content/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

Colour operator+(const Colour& x, const Colour& y) { return {x.r + y.r, x.g + y.g, x.b + y.b, x.a + y.a}; }
Colour operator*(const Colour& c, float s) { return {c.r * s, c.g * s, c.b * s, c.a * s}; }
Colour Lerp(const Colour& x, const Colour& y, float t) { return x * (1.0f - t) + y * t; }

Image::Image(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Image::Blend(int x, int y, const Colour& colour, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    Colour& pixel = At(x, y);
    pixel = Lerp(pixel, colour, std::clamp(coverage, 0.0f, 1.0f));
}

std::vector<unsigned char> Image::Bytes(int channels) const {
    std::vector<unsigned char> bytes;
    bytes.reserve(pixels_.size() * channels);
    for (const Colour& c : pixels_) {
        const float values[4] = {c.r, c.g, c.b, c.a};
        for (int i = 0; i < channels; ++i)
            bytes.push_back(static_cast<unsigned char>(std::lround(std::clamp(values[i], 0.0f, 1.0f) * 255.0f)));
    }
    return bytes;
}

bool Image::WritePng(const std::string& path, int channels) const {
    const std::vector<unsigned char> bytes = Bytes(channels);
    if (stbi_write_png(path.c_str(), width_, height_, channels, bytes.data(), width_ * channels))
        return true;
    std::fprintf(stderr, "%s: cannot write\n", path.c_str());
    return false;
}

bool Image::WriteJpg(const std::string& path, int quality) const {
    const std::vector<unsigned char> bytes = Bytes(3);
    if (stbi_write_jpg(path.c_str(), width_, height_, 3, bytes.data(), quality))
        return true;
    std::fprintf(stderr, "%s: cannot write\n", path.c_str());
    return false;
}
