#include "LabelFont.h"

#include <array>

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// One row a byte, the leftmost pixel in bit 4.
using Glyph = std::array<uint8_t, kGlyphHeight>;

constexpr std::array<Glyph, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
}};
constexpr Glyph kPoint = {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C};
constexpr Glyph kBlank = {};

const Glyph& GlyphOf(char c) {
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    return c == '.' ? kPoint : kBlank;
}

void FillBlock(const LabelCanvas& canvas, int x, int y, int scale) {
    for (int row = y; row < y + scale; ++row)
        for (int column = x; column < x + scale; ++column) {
            if (row < 0 || row >= canvas.height || column < 0 || column >= canvas.width) continue;
            uint8_t* pixel = canvas.pixels + (static_cast<size_t>(row) * canvas.width + column) * 3;
            pixel[0] = pixel[1] = pixel[2] = 255;
        }
}

}  // namespace

int LabelWidth(std::string_view text, int scale) {
    return text.empty() ? 0 : static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

int LabelHeight(int scale) {
    return kGlyphHeight * scale;
}

void DrawLabel(const LabelCanvas& canvas, std::string_view text, int x, int y, int scale) {
    for (const char c : text) {
        const Glyph& glyph = GlyphOf(c);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if (glyph[row] & (0x10 >> column)) FillBlock(canvas, x + column * scale, y + row * scale, scale);
        x += (kGlyphWidth + 1) * scale;
    }
}
