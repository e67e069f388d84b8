#include "ContactSheet.h"

#include "LabelFont.h"

#include <algorithm>
#include <cstdio>
#include <stb/stb_image_write.h>
#include <string>

namespace {

constexpr int kLabelScale = 2;
constexpr int kLabelMargin = 3;
constexpr uint8_t kBackground = 24;

// "96", "258.5", "283.25": the beat as briefly as it was asked for.
std::string BeatText(double beat) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", beat);
    std::string trimmed = text;
    trimmed.erase(trimmed.find_last_not_of('0') + 1);
    if (trimmed.back() == '.') trimmed.pop_back();
    return trimmed;
}

}  // namespace

ContactSheet::ContactSheet(int count, int frameWidth, int frameHeight)
    : frameWidth(frameWidth),
      frameHeight(frameHeight),
      thumbWidth(frameWidth / kShrink),
      thumbHeight(frameHeight / kShrink) {
    const int columns = std::clamp(count, 1, kColumns);
    const int rows = std::max(1, (count + kColumns - 1) / kColumns);
    width = columns * (thumbWidth + kGap) + kGap;
    height = rows * (thumbHeight + kGap) + kGap;
    pixels.assign(static_cast<size_t>(width) * height * 3, kBackground);
}

void ContactSheet::Place(int index, const std::vector<uint8_t>& frame, double beat) {
    const int left = kGap + index % kColumns * (thumbWidth + kGap);
    const int top = kGap + index / kColumns * (thumbHeight + kGap);
    Shrink(frame, left, top);
    Label(beat, left, top);
}

// Each thumbnail pixel is the mean of the kShrink x kShrink frame pixels it stands for.
void ContactSheet::Shrink(const std::vector<uint8_t>& frame, int left, int top) {
    constexpr int kArea = kShrink * kShrink;
    for (int y = 0; y < thumbHeight; ++y)
        for (int x = 0; x < thumbWidth; ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < kShrink; ++dy) {
                const int frameRow = frameHeight - 1 - (y * kShrink + dy);
                const uint8_t* source = frame.data() + (static_cast<size_t>(frameRow) * frameWidth + x * kShrink) * 3;
                for (int i = 0; i < kShrink * 3; ++i) sum[i % 3] += source[i];
            }
            uint8_t* target = pixels.data() + (static_cast<size_t>(top + y) * width + left + x) * 3;
            for (int c = 0; c < 3; ++c) target[c] = static_cast<uint8_t>((sum[c] + kArea / 2) / kArea);
        }
}

// White digits on a darkened corner, legible on any picture.
void ContactSheet::Label(double beat, int left, int top) {
    const std::string text = BeatText(beat);
    const int boxWidth = LabelWidth(text, kLabelScale) + 2 * kLabelMargin;
    const int boxHeight = LabelHeight(kLabelScale) + 2 * kLabelMargin;
    for (int y = top; y < top + boxHeight; ++y)
        for (int x = left; x < left + boxWidth; ++x) {
            uint8_t* pixel = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
            for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(pixel[c] / 4);
        }
    DrawLabel({pixels.data(), width, height}, text, left + kLabelMargin, top + kLabelMargin, kLabelScale);
}

bool ContactSheet::Write(const std::filesystem::path& file) const {
    return stbi_write_png(file.string().c_str(), width, height, 3, pixels.data(), width * 3) != 0;
}
