#include "content/Font.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

struct Font::State {
    stbtt_fontinfo info{};
};

Font::Font() : state_(std::make_unique<State>()) {}
Font::~Font() = default;

bool Font::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (bytes_.empty() || !stbtt_InitFont(&state_->info, bytes_.data(), stbtt_GetFontOffsetForIndex(bytes_.data(), 0))) {
        std::fprintf(stderr, "%s: not a readable TrueType font\n", path.c_str());
        return false;
    }
    return true;
}

TextBox Font::Measure(const std::string& text, float pixelHeight) const {
    const float scale = stbtt_ScaleForPixelHeight(&state_->info, pixelHeight);
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&state_->info, &ascent, &descent, &lineGap);
    TextBox box{0.0f, ascent * scale, -descent * scale};
    const std::vector<int> codepoints = DecodeUtf8(text);
    for (size_t i = 0; i < codepoints.size(); ++i) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&state_->info, codepoints[i], &advance, &bearing);
        box.width += advance * scale;
        if (i + 1 < codepoints.size())
            box.width += stbtt_GetCodepointKernAdvance(&state_->info, codepoints[i], codepoints[i + 1]) * scale;
    }
    return box;
}

TextField Font::Coverage(const std::string& text, float pixelHeight, int padding) const {
    const TextBox box = Measure(text, pixelHeight);
    TextField field;
    field.width = static_cast<int>(std::ceil(box.width)) + 2 * padding;
    field.height = static_cast<int>(std::ceil(box.ascent + box.descent)) + 2 * padding;
    field.values.assign(static_cast<size_t>(field.width) * field.height, 0.0f);

    const float scale = stbtt_ScaleForPixelHeight(&state_->info, pixelHeight);
    const std::vector<int> codepoints = DecodeUtf8(text);
    const float baseline = padding + box.ascent;
    float pen = static_cast<float>(padding);
    for (size_t i = 0; i < codepoints.size(); ++i) {
        const int codepoint = codepoints[i];
        const float shiftX = pen - std::floor(pen);
        const float shiftY = baseline - std::floor(baseline);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(&state_->info, codepoint, scale, scale, shiftX, shiftY, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            std::vector<unsigned char> glyph(static_cast<size_t>(w) * h);
            stbtt_MakeCodepointBitmapSubpixel(&state_->info, glyph.data(), w, h, w, scale, scale, shiftX, shiftY, codepoint);
            const int left = static_cast<int>(std::floor(pen)) + x0;
            const int top = static_cast<int>(std::floor(baseline)) + y0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int fx = left + x, fy = top + y;
                    if (fx < 0 || fy < 0 || fx >= field.width || fy >= field.height)
                        continue;
                    float& value = field.values[static_cast<size_t>(fy) * field.width + fx];
                    value = std::fmin(1.0f, value + glyph[static_cast<size_t>(y) * w + x] / 255.0f);
                }
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&state_->info, codepoint, &advance, &bearing);
        pen += advance * scale;
        if (i + 1 < codepoints.size())
            pen += stbtt_GetCodepointKernAdvance(&state_->info, codepoint, codepoints[i + 1]) * scale;
    }
    return field;
}

void Font::Draw(Image& image, const std::string& text, float pixelHeight, float x, float y, const Colour& colour) const {
    constexpr int kPadding = 2;
    const TextField field = Coverage(text, pixelHeight, kPadding);
    const TextBox box = Measure(text, pixelHeight);
    const int left = static_cast<int>(std::lround(x)) - kPadding;
    const int top = static_cast<int>(std::lround(y - box.ascent)) - kPadding;
    for (int fy = 0; fy < field.height; ++fy)
        for (int fx = 0; fx < field.width; ++fx)
            if (const float coverage = field.At(fx, fy); coverage > 0.0f)
                image.Blend(left + fx, top + fy, colour, coverage);
}

std::vector<int> DecodeUtf8(const std::string& text) {
    std::vector<int> codepoints;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            codepoints.push_back(0xFFFD);
            ++i;
            continue;
        }
        int codepoint = length == 1 ? lead : lead & (0x3F >> (length - 1));
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            codepoint = (codepoint << 6) | (next & 0x3F);
        }
        codepoints.push_back(valid ? codepoint : 0xFFFD);
        i += valid ? length : 1;
    }
    return codepoints;
}
