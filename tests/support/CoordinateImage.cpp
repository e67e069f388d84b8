#include "support/CoordinateImage.h"

#include <gtest/gtest.h>

namespace {

// The cross's cells, in faces' order +X, -X, +Y, -Y, +Z, -Z.
constexpr int kCrossCells[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {1, 3}};
constexpr int kTurnedFace = 5;

}  // namespace

std::vector<uint8_t> CoordinateImage(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x >> 8);
            p[3] = static_cast<uint8_t>(y >> 8);
        }
    return pixels;
}

void ExpectCubeFaceCorners(const std::vector<uint8_t>& face, int width, int height, int faceIndex) {
    ASSERT_EQ(face.size(), static_cast<size_t>(width) * height * 4) << "face " << faceIndex;
    const bool turned = faceIndex == kTurnedFace;
    for (int y = 0; y < height; y += height - 1)
        for (int x = 0; x < width; x += width - 1) {
            const uint8_t* p = &face[(static_cast<size_t>(y) * width + x) * 4];
            const int sourceX = kCrossCells[faceIndex][0] * width + (turned ? width - 1 - x : x);
            const int sourceY = kCrossCells[faceIndex][1] * height + (turned ? height - 1 - y : y);
            EXPECT_EQ(p[0] | p[2] << 8, sourceX) << "face " << faceIndex << " at " << x << "," << y;
            EXPECT_EQ(p[1] | p[3] << 8, sourceY) << "face " << faceIndex << " at " << x << "," << y;
        }
}
