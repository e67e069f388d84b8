#pragma once
// A TrueType font (stb_truetype) for the text drawn into images and extruded into the logo.

#include "content/Image.h"

#include <memory>
#include <string>
#include <vector>

struct TextBox {
    float width = 0.0f;   // pixels, from the pen start to the end of the last advance
    float ascent = 0.0f;  // pixels above the baseline
    float descent = 0.0f; // pixels below the baseline (positive)
};

// A coverage or distance field of some text, one float per pixel, row by row.
struct TextField {
    int width = 0;
    int height = 0;
    std::vector<float> values;
    float At(int x, int y) const { return values[static_cast<size_t>(y) * width + x]; }
};

class Font {
public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // False after a message on stderr when the file is missing or not a font.
    bool Load(const std::string& path);

    // Text is UTF-8; pixel height is the em height.
    TextBox Measure(const std::string& text, float pixelHeight) const;
    // Anti-aliased coverage (0 to 1) of the text with a margin of `padding` pixels all round;
    // the baseline sits at padding + ascent.
    TextField Coverage(const std::string& text, float pixelHeight, int padding) const;
    // Blends the text in `colour` with its baseline starting at (x, y).
    void Draw(Image& image, const std::string& text, float pixelHeight, float x, float y, const Colour& colour) const;

private:
    struct State;
    std::vector<unsigned char> bytes_;
    std::unique_ptr<State> state_;
};

// Decodes UTF-8 into code points; malformed bytes become U+FFFD.
std::vector<int> DecodeUtf8(const std::string& text);
