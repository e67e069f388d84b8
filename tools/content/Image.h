#pragma once
// A picture being painted in linear floating-point RGBA, written out as 8-bit PNG or JPEG.

#include <string>
#include <vector>

struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

Colour operator+(const Colour& x, const Colour& y);
Colour operator*(const Colour& c, float s);
Colour Lerp(const Colour& x, const Colour& y, float t);

class Image {
public:
    Image(int width, int height, Colour fill = {0.0f, 0.0f, 0.0f, 1.0f});

    int Width() const { return width_; }
    int Height() const { return height_; }
    Colour& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Colour& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // Adds `colour` scaled by `coverage` (0 to 1), e.g. anti-aliased text.
    void Blend(int x, int y, const Colour& colour, float coverage);

    // Channels 3 (RGB) or 4 (RGBA); values are clamped to 0..1. False after a message on stderr.
    bool WritePng(const std::string& path, int channels) const;
    bool WriteJpg(const std::string& path, int quality) const;

private:
    std::vector<unsigned char> Bytes(int channels) const;

    int width_;
    int height_;
    std::vector<Colour> pixels_;
};
