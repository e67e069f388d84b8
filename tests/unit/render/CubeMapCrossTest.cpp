#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/CubeMapCross.h"

namespace {

// Every pixel encodes where it came from: R = x, G = y, B = x >> 8, A = y >> 8.
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

struct Origin {
    int x;
    int y;
};

Origin SourceOf(const std::vector<uint8_t>& face, int faceWidth, int x, int y) {
    const uint8_t* p = &face[(static_cast<size_t>(y) * faceWidth + x) * 4];
    return {p[0] | p[2] << 8, p[1] | p[3] << 8};
}

void ExpectFaces(int crossWidth, int crossHeight, int faceWidth, int faceHeight) {
    const CubeFaceSize size = CubeFaceSizeOf(crossWidth, crossHeight);
    ASSERT_EQ(size.width, faceWidth);
    ASSERT_EQ(size.height, faceHeight);
    const std::vector<uint8_t> cross = CoordinateImage(crossWidth, crossHeight);
    const int cells[kCubeFaceCount][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {1, 3}};

    std::vector<uint8_t> face(static_cast<size_t>(faceWidth) * faceHeight * 4);
    for (int f = 0; f < kCubeFaceCount; ++f) {
        ExtractCubeFace(cross.data(), crossWidth, crossHeight, f, face.data());
        const bool turned = f == 5;
        for (int y = 0; y < faceHeight; y += faceHeight - 1)
            for (int x = 0; x < faceWidth; x += faceWidth - 1) {
                const int sx = turned ? faceWidth - 1 - x : x;
                const int sy = turned ? faceHeight - 1 - y : y;
                const Origin origin = SourceOf(face, faceWidth, x, y);
                EXPECT_EQ(origin.x, cells[f][0] * faceWidth + sx) << "face " << f << " at " << x << "," << y;
                EXPECT_EQ(origin.y, cells[f][1] * faceHeight + sy) << "face " << f << " at " << x << "," << y;
            }
    }
}

TEST(CubeMapCrossTest, FacesComeFromTheirCrossCellsWithNegativeZTurned) {
    ExpectFaces(768, 1024, 256, 256);
}

TEST(CubeMapCrossTest, RemainderColumnsAndRowsAreDropped) {
    ExpectFaces(770, 1030, 256, 257);
}

TEST(CubeMapCrossTest, NegativeZIsTurnedPixelForPixel) {
    // A 3-pixel face makes the middle column a fixed point of the turn; check every pixel.
    const std::vector<uint8_t> cross = CoordinateImage(9, 8);
    std::vector<uint8_t> face(3 * 2 * 4);
    ExtractCubeFace(cross.data(), 9, 8, 5, face.data());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const Origin origin = SourceOf(face, 3, x, y);
            EXPECT_EQ(origin.x, 3 + (2 - x));
            EXPECT_EQ(origin.y, 6 + (1 - y));
        }
}

}  // namespace
