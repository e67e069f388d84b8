#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "formats/CubeMapCross.h"
#include "support/CoordinateImage.h"

namespace {

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
    std::vector<uint8_t> face(static_cast<size_t>(faceWidth) * faceHeight * 4);
    for (int f = 0; f < kCubeFaceCount; ++f) {
        ExtractCubeFace(cross.data(), crossWidth, crossHeight, f, face.data());
        ExpectCubeFaceCorners(face, faceWidth, faceHeight, f);
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
