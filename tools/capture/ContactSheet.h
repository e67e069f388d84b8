#pragma once
// Many frames of the demo on one picture: a grid of thumbnails, each labelled with its beat,
// row after row in the order given. For reviewing a whole section, or the whole demo, at a glance.

#include <cstdint>
#include <filesystem>
#include <vector>

class ContactSheet {
public:
    static constexpr int kColumns = 8;  // at one still every 4 beats, a row is one 32-beat phrase
    static constexpr int kShrink = 5;   // 1280x720 frames become 256x144 thumbnails
    static constexpr int kGap = 4;

    // Room for `count` thumbnails of frames of the given size (a multiple of kShrink each way).
    ContactSheet(int count, int frameWidth, int frameHeight);

    // Shrinks `frame` (RGB, bottom row first, as GL reads it) into place `index` and labels it.
    void Place(int index, const std::vector<uint8_t>& frame, double beat);
    bool Write(const std::filesystem::path& file) const;

    int Width() const { return width; }
    int Height() const { return height; }

private:
    void Shrink(const std::vector<uint8_t>& frame, int left, int top);
    void Label(double beat, int left, int top);

    const int frameWidth;
    const int frameHeight;
    const int thumbWidth;
    const int thumbHeight;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // RGB, top row first
};
