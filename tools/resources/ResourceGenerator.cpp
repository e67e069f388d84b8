// Draws the program's built-in images (the fallback texture and the window icon) with the
// DejaVu font and writes them as PNG byte arrays into a C++ source that the Linux program links.
//
//   quarn_resource_generator <font.ttf> <output.cpp> [png-and-ico-directory]
//
// With a directory the images are also written there as files, and the icon's sizes as one
// QuarnEngine.ico: what the Windows program's resource script compiles in.

#include <stb_image_write.h>
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Colour {
    uint8_t r, g, b;
};

class Canvas {
public:
    // Starts fully transparent.
    Canvas(int width, int height) : width(width), height(height), pixels(static_cast<size_t>(width) * height * 4, 0) {}

    void Fill(Colour colour) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                Blend(x, y, colour, 1.0f);
    }

    // Paints `colour` with the given coverage over what is there ("over" compositing).
    void Blend(int x, int y, Colour colour, float coverage) {
        if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0.0f)
            return;
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        const float sourceAlpha = std::min(coverage, 1.0f);
        const float targetAlpha = p[3] / 255.0f * (1.0f - sourceAlpha);
        const float alpha = sourceAlpha + targetAlpha;
        const uint8_t channels[3] = {colour.r, colour.g, colour.b};
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<uint8_t>(std::lround((channels[c] * sourceAlpha + p[c] * targetAlpha) / alpha));
        p[3] = static_cast<uint8_t>(std::lround(alpha * 255.0f));
    }

    std::vector<uint8_t> EncodePng() const {
        std::vector<uint8_t> png;
        stbi_write_png_to_func(
            [](void* context, void* data, int size) {
                auto* out = static_cast<std::vector<uint8_t>*>(context);
                out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            },
            &png, width, height, 4, pixels.data(), width * 4);
        return png;
    }

    const int width;
    const int height;

private:
    std::vector<uint8_t> pixels;
};

class Font {
public:
    bool Load(const char* path) {
        std::ifstream file(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return !bytes.empty()
               && stbtt_InitFont(&info, bytes.data(), stbtt_GetFontOffsetForIndex(bytes.data(), 0)) != 0;
    }

    float TextWidth(const std::string& text, float pixelHeight) const {
        const float scale = stbtt_ScaleForPixelHeight(&info, pixelHeight);
        float width = 0.0f;
        for (size_t i = 0; i < text.size(); ++i) {
            int advance = 0;
            int bearing = 0;
            stbtt_GetCodepointHMetrics(&info, text[i], &advance, &bearing);
            width += advance * scale;
            if (i + 1 < text.size())
                width += stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1]) * scale;
        }
        return width;
    }

    // Cap height in pixels, for centring capitals vertically.
    float CapHeight(float pixelHeight) const {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBox(&info, 'H', &x0, &y0, &x1, &y1);
        return y1 * stbtt_ScaleForPixelHeight(&info, pixelHeight);
    }

    void DrawCentred(Canvas& canvas, const std::string& text, float pixelHeight, float centreX, float baseline,
                     Colour colour) const {
        const float scale = stbtt_ScaleForPixelHeight(&info, pixelHeight);
        float penX = centreX - TextWidth(text, pixelHeight) / 2.0f;
        for (size_t i = 0; i < text.size(); ++i) {
            DrawGlyph(canvas, text[i], scale, penX, baseline, colour);
            int advance = 0;
            int bearing = 0;
            stbtt_GetCodepointHMetrics(&info, text[i], &advance, &bearing);
            penX += advance * scale;
            if (i + 1 < text.size())
                penX += stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1]) * scale;
        }
    }

private:
    void DrawGlyph(Canvas& canvas, int codepoint, float scale, float penX, float baseline, Colour colour) const {
        const float shiftX = penX - std::floor(penX);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(&info, codepoint, scale, scale, shiftX, 0.0f, &x0, &y0, &x1, &y1);
        const int w = x1 - x0;
        const int h = y1 - y0;
        if (w <= 0 || h <= 0)
            return;
        std::vector<uint8_t> coverage(static_cast<size_t>(w) * h);
        stbtt_MakeCodepointBitmapSubpixel(&info, coverage.data(), w, h, w, scale, scale, shiftX, 0.0f, codepoint);
        const int originX = static_cast<int>(std::floor(penX)) + x0;
        const int originY = static_cast<int>(std::lround(baseline)) + y0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                canvas.Blend(originX + x, originY + y, colour, coverage[static_cast<size_t>(y) * w + x] / 255.0f);
    }

    std::vector<uint8_t> bytes;
    stbtt_fontinfo info{};
};

// Signed distance to a rounded square of half-size `half` and corner radius `radius`.
float RoundedSquareDistance(float x, float y, float half, float radius) {
    const float qx = std::max(std::abs(x) - half + radius, 0.0f);
    const float qy = std::max(std::abs(y) - half + radius, 0.0f);
    const float outside = std::sqrt(qx * qx + qy * qy);
    const float inside = std::min(std::max(std::abs(x) - half + radius, std::abs(y) - half + radius), 0.0f);
    return outside + inside - radius;
}

void DrawRoundedSquare(Canvas& canvas, float inset, float radius, Colour colour) {
    const float half = canvas.width / 2.0f - inset;
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const float dx = x + 0.5f - canvas.width / 2.0f;
            const float dy = y + 0.5f - canvas.height / 2.0f;
            canvas.Blend(x, y, colour, 0.5f - RoundedSquareDistance(dx, dy, half, radius));
        }
}

// "Missing Texture" in red on black, framed, so that a missing image is obvious on any mesh.
Canvas DrawMissingTexture(const Font& font) {
    constexpr Colour kRed{230, 20, 20};
    Canvas canvas(256, 256);
    canvas.Fill({0, 0, 0});
    for (int i = 6; i < 250; ++i)
        for (int edge = 6; edge < 10; ++edge) {
            canvas.Blend(i, edge, kRed, 1.0f);
            canvas.Blend(i, 255 - edge, kRed, 1.0f);
            canvas.Blend(edge, i, kRed, 1.0f);
            canvas.Blend(255 - edge, i, kRed, 1.0f);
        }
    constexpr float kTextHeight = 52.0f;
    const float cap = font.CapHeight(kTextHeight);
    const float gap = cap * 0.7f;
    const float top = (256.0f - (2.0f * cap + gap)) / 2.0f;
    font.DrawCentred(canvas, "Missing", kTextHeight, 128.0f, top + cap, kRed);
    font.DrawCentred(canvas, "Texture", kTextHeight, 128.0f, top + 2.0f * cap + gap, kRed);
    return canvas;
}

// A bold "Q" on a deep-blue rounded tile; the corners stay transparent.
Canvas DrawIcon(const Font& font, int size) {
    Canvas canvas(size, size);
    DrawRoundedSquare(canvas, 0.0f, size * 0.2f, {24, 40, 110});
    const float textHeight = size * 0.95f;
    const float cap = font.CapHeight(textHeight);
    font.DrawCentred(canvas, "Q", textHeight, size / 2.0f, (size + cap) / 2.0f - size * 0.04f, {255, 196, 64});
    return canvas;
}

void WriteArray(std::ofstream& out, const char* name, const std::vector<uint8_t>& bytes) {
    out << "extern const uint8_t " << name << "[] = {";
    for (size_t i = 0; i < bytes.size(); ++i)
        out << (i % 16 == 0 ? "\n    " : " ") << static_cast<int>(bytes[i]) << ',';
    out << "\n};\nextern const size_t " << name << "Size = sizeof " << name << ";\n\n";
}

struct Image {
    const char* symbol;
    const char* fileName;
    Canvas canvas;
    bool icon;
};

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An .ico file whose images are PNGs, as Windows reads them since Vista: the icon group of the
// Windows program's resources.
std::vector<uint8_t> IconFile(const std::vector<const Canvas*>& canvases, const std::vector<std::vector<uint8_t>>& pngs) {
    constexpr uint32_t kHeaderBytes = 6;
    constexpr uint32_t kEntryBytes = 16;
    std::vector<uint8_t> ico;
    AppendLittleEndian(ico, 0, 2);  // reserved
    AppendLittleEndian(ico, 1, 2);  // an icon, not a cursor
    AppendLittleEndian(ico, static_cast<uint32_t>(pngs.size()), 2);
    uint32_t offset = kHeaderBytes + kEntryBytes * static_cast<uint32_t>(pngs.size());
    for (size_t i = 0; i < pngs.size(); ++i) {
        AppendLittleEndian(ico, static_cast<uint32_t>(canvases[i]->width), 1);
        AppendLittleEndian(ico, static_cast<uint32_t>(canvases[i]->height), 1);
        AppendLittleEndian(ico, 0, 2);   // no palette, reserved
        AppendLittleEndian(ico, 1, 2);   // planes
        AppendLittleEndian(ico, 32, 2);  // bits per pixel
        AppendLittleEndian(ico, static_cast<uint32_t>(pngs[i].size()), 4);
        AppendLittleEndian(ico, offset, 4);
        offset += static_cast<uint32_t>(pngs[i].size());
    }
    for (const std::vector<uint8_t>& png : pngs) ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <font.ttf> <output.cpp> [png-and-ico-directory]\n", argv[0]);
        return 2;
    }
    Font font;
    if (!font.Load(argv[1])) {
        std::fprintf(stderr, "cannot load the font %s\n", argv[1]);
        return 1;
    }
    const Image images[] = {
        {"kMissingTexturePng", "MissingTexture.png", DrawMissingTexture(font), false},
        {"kIcon16Png", "Icon16.png", DrawIcon(font, 16), true},
        {"kIcon32Png", "Icon32.png", DrawIcon(font, 32), true},
        {"kIcon48Png", "Icon48.png", DrawIcon(font, 48), true},
    };

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated by quarn_resource_generator; do not edit.\n"
           "#include \"posix/EmbeddedFiles.h\"\n\n";
    std::vector<const Canvas*> icons;
    std::vector<std::vector<uint8_t>> iconPngs;
    bool written = true;
    for (const Image& image : images) {
        const std::vector<uint8_t> png = image.canvas.EncodePng();
        WriteArray(out, image.symbol, png);
        if (argc > 3) written = WriteFile(std::string(argv[3]) + "/" + image.fileName, png) && written;
        if (image.icon) {
            icons.push_back(&image.canvas);
            iconPngs.push_back(png);
        }
    }
    if (argc > 3) written = WriteFile(std::string(argv[3]) + "/QuarnEngine.ico", IconFile(icons, iconPngs)) && written;
    out.close();
    if (!out || !written) {
        std::fprintf(stderr, "cannot write %s\n", argc > 3 && out ? argv[3] : argv[2]);
        return 1;
    }
    return 0;
}
