#pragma once
// Beat numbers drawn into RGB pixels with a built-in 5x7 pixel font, so that the capture tool
// labels its pictures without a font file. Digits and the decimal point only.

#include <cstdint>
#include <string_view>

struct LabelCanvas {
    uint8_t* pixels = nullptr;  // RGB, top row first
    int width = 0;
    int height = 0;
};

// The size of `text` at `scale` screen pixels per font pixel, one pixel of spacing between glyphs.
int LabelWidth(std::string_view text, int scale);
int LabelHeight(int scale);
// White glyphs with their top left at (x, y); parts outside the canvas are skipped. Characters
// other than digits and '.' leave a blank.
void DrawLabel(const LabelCanvas& canvas, std::string_view text, int x, int y, int scale);
