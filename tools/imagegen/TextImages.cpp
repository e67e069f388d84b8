#include "content/Font.h"
#include "imagegen/Images.h"

#include <algorithm>
#include <cmath>

namespace {

// Three box blurs in a row approximate a Gaussian of about the given radius.
TextField Blur(const TextField& field, int radius) {
    TextField result = field;
    TextField scratch = field;
    auto pass = [&](TextField& from, TextField& to, bool horizontal) {
        const int length = horizontal ? from.width : from.height, lines = horizontal ? from.height : from.width;
        for (int line = 0; line < lines; ++line) {
            auto at = [&](TextField& f, int i) -> float& {
                return horizontal ? f.values[static_cast<size_t>(line) * f.width + i]
                                  : f.values[static_cast<size_t>(i) * f.width + line];
            };
            float sum = 0.0f;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < length) ? at(from, i) : 0.0f;
            for (int i = 0; i < length; ++i) {
                at(to, i) = sum / (2 * radius + 1);
                const int leaving = i - radius, entering = i + radius + 1;
                sum += (entering < length ? at(from, entering) : 0.0f) - (leaving >= 0 ? at(from, leaving) : 0.0f);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(result, scratch, true);
        pass(scratch, result, false);
    }
    return result;
}

Colour Hue(float h) {
    auto channel = [&](float offset) {
        return 0.5f + 0.5f * std::cos(6.2831853f * (h + offset));
    };
    return {channel(0.0f), channel(-1.0f / 3.0f), channel(1.0f / 3.0f), 1};
}

// Alpha follows the brightest channel: the overlay adds these images onto the picture.
void AlphaFromBrightness(Image& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            Colour& c = image.At(x, y);
            c.a = std::clamp(std::max({c.r, c.g, c.b}), 0.0f, 1.0f);
        }
}

// The overlay blends with the source colour as its own factor, so the picture receives the
// image's colour times itself: antialiased edges and pale tints would land darker and thinner
// than painted. Storing the square root puts on screen what was painted.
void RootForSquaredBlend(Image& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            Colour& c = image.At(x, y);
            c = {std::sqrt(std::max(c.r, 0.0f)), std::sqrt(std::max(c.g, 0.0f)), std::sqrt(std::max(c.b, 0.0f)), c.a};
        }
}

float LineHeight(CreditLine::Style style) {
    switch (style) {
        case CreditLine::Style::Heading: return 58.0f;
        case CreditLine::Style::Small: return 28.0f;
        case CreditLine::Style::Gap: return 0.0f;
        default: return 34.0f;
    }
}

float LineAdvance(CreditLine::Style style) {
    return style == CreditLine::Style::Gap ? 24.0f : LineHeight(style) * 1.3f;
}

}  // namespace

// One greeted group's name, white with a glow in its own hue, over a thin bar, on black.
Image PaintGreeting(const Font& bold, const std::string& name, int index) {
    constexpr int kWidth = 512, kHeight = 256, kPadding = 24;
    constexpr float kMaxText = 440.0f;
    float em = 92.0f;
    em *= std::min(1.0f, kMaxText / bold.Measure(name, em).width);
    const TextField text = bold.Coverage(name, em, kPadding);
    const TextField glow = Blur(text, 7);
    const Colour tint = Hue(index / 20.0f + 0.55f);

    Image image(kWidth, kHeight, {0, 0, 0, 0});
    const int left = (kWidth - text.width) / 2, top = (kHeight - text.height) / 2 - 10;
    for (int y = 0; y < text.height; ++y)
        for (int x = 0; x < text.width; ++x) {
            const int ix = left + x, iy = top + y;
            if (ix < 0 || iy < 0 || ix >= kWidth || iy >= kHeight)
                continue;
            image.At(ix, iy) = tint * (1.6f * glow.At(x, y)) + Colour{1, 1, 1, 0} * text.At(x, y);
        }
    const float barY = top + text.height - kPadding + 14.0f;
    for (int x = 0; x < kWidth; ++x) {
        const float across = std::fabs((x + 0.5f) / kWidth * 2.0f - 1.0f);
        const float fade = std::max(0.0f, 1.0f - across / 0.8f);
        for (int y = static_cast<int>(barY) - 3; y <= static_cast<int>(barY) + 3; ++y) {
            const float thickness = std::exp(-std::pow((y - barY) / 1.4f, 2.0f));
            image.At(x, std::clamp(y, 0, kHeight - 1)) = image.At(x, std::clamp(y, 0, kHeight - 1)) + tint * (fade * fade * thickness);
        }
    }
    AlphaFromBrightness(image);
    return image;
}

// The scrolling credits: centred lines, all in bold since they pass over a busy picture and
// can only add light to it; headings large, small lines in a cool grey. The top quarter stays
// empty: the credits start to scroll while the 3D logo is still rising through the middle of
// the picture, and the text follows it up from below.
Image PaintCredits(const Font& bold, const std::vector<CreditLine>& lines) {
    constexpr int kWidth = 512, kHeight = 1024;
    constexpr float kTop = kHeight * 0.25f, kMargin = 40.0f;
    float total = 0.0f;
    for (const CreditLine& line : lines)
        total += LineAdvance(line.style);
    const float scale = std::min(1.0f, (kHeight - kTop - kMargin) / total);

    Image image(kWidth, kHeight, {0, 0, 0, 0});
    float y = kTop;
    for (const CreditLine& line : lines) {
        const float em = LineHeight(line.style) * scale;
        if (line.style != CreditLine::Style::Gap) {
            const float width = bold.Measure(line.text, em).width;
            const Colour colour = line.style == CreditLine::Style::Small ? Colour{0.78f, 0.87f, 1.0f, 1}
                                                                          : Colour{1, 1, 1, 1};
            bold.Draw(image, line.text, em, (kWidth - width) * 0.5f, y + em, colour);
        }
        y += LineAdvance(line.style) * scale;
    }
    RootForSquaredBlend(image);
    AlphaFromBrightness(image);
    return image;
}
