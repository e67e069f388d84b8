#pragma once
// The demo's pictures. Each builder returns the finished image; main writes them out.

#include "content/Image.h"

#include <string>
#include <vector>

class Font;

Image PaintBackdropTexture();   // testtex.png
Image PaintPyramidTexture();    // pyramidtex.png
Image PaintFloater();           // Floater.png
Image PaintFloater2();          // Floater2.png
Image PaintQuadFloater();       // QuadFloater.png
Image PaintSkyCross();          // CubeMapTest.jpg
Image PaintNebulaCross();       // CubeMapTest3.jpg

struct CreditLine {
    enum class Style { Heading, Normal, Small, Gap } style = Style::Normal;
    std::string text;
};

Image PaintCredits(const Font& bold, const std::vector<CreditLine>& lines);
Image PaintGreeting(const Font& bold, const std::string& name, int index);
