#include <gtest/gtest.h>

#include "GreetingImages.h"
#include "formats/CubeMapCross.h"
#include "formats/DecodedImage.h"
#include "support/ContentFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ExpectedImage {
    const char* file;
    int width;
    int height;
};

constexpr ExpectedImage kTextures[] = {
    {"Textures/testtex.png", 512, 512},      {"Textures/pyramidtex.png", 256, 256},
    {"Textures/Floater.png", 128, 128},      {"Textures/Floater2.png", 128, 128},
    {"Textures/QuadFloater.png", 128, 128},  {"Textures/CubeMapTest.jpg", 768, 1024},
    {"Textures/CubeMapTest3.jpg", 768, 1024}, {"Textures/Credits.png", 512, 1024},
};

int Brightness(const DecodedImage& image, int x, int y) {
    const uint8_t* p = image.pixels.get() + (static_cast<size_t>(y) * image.width + x) * 4;
    return std::max({p[0], p[1], p[2]});
}

// The direction GL samples for a face texel (s, t in 0..1, t down the rows); faces in GL order.
void FaceDirection(int face, float s, float t, float d[3]) {
    const float sc = 2.0f * s - 1.0f, tc = 2.0f * t - 1.0f;
    const float table[6][3] = {{1, -tc, -sc}, {-1, -tc, sc}, {sc, 1, tc}, {sc, -1, -tc}, {sc, -tc, 1}, {-sc, -tc, -1}};
    std::copy_n(table[face], 3, d);
}

// The face and texel GL samples for a direction.
void SampleAt(const float d[3], int size, int& face, int& x, int& y) {
    const float ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
    float sc, tc, ma;
    if (ax >= ay && ax >= az) {
        face = d[0] > 0 ? 0 : 1, ma = ax, sc = d[0] > 0 ? -d[2] : d[2], tc = -d[1];
    } else if (ay >= az) {
        face = d[1] > 0 ? 2 : 3, ma = ay, sc = d[0], tc = d[1] > 0 ? d[2] : -d[2];
    } else {
        face = d[2] > 0 ? 4 : 5, ma = az, sc = d[2] > 0 ? d[0] : -d[0], tc = -d[1];
    }
    x = std::clamp(static_cast<int>((sc / ma + 1.0f) * 0.5f * size), 0, size - 1);
    y = std::clamp(static_cast<int>((tc / ma + 1.0f) * 0.5f * size), 0, size - 1);
}

struct EdgeReport {
    double meanDifference = 0.0;  // per channel, 0..255, between texels meeting across an edge
    double meanInside = 0.0;      // the same between neighbours one texel inside a face
};

// One report for each side of each face: a face cut or turned the wrong way shows up on its
// own sides, however good the others are.
using CubeEdgeReports = std::vector<EdgeReport>;

// Cuts the cross with the texture manager's own rule, then walks every face's border: the
// texel just across the edge (found through the direction GL would sample) must match.
CubeEdgeReports CompareCubeEdges(const DecodedImage& cross) {
    const CubeFaceSize size = CubeFaceSizeOf(cross.width, cross.height);
    const int n = size.width;
    std::vector<std::vector<uint8_t>> faces(kCubeFaceCount, std::vector<uint8_t>(static_cast<size_t>(n) * n * 4));
    for (int f = 0; f < kCubeFaceCount; ++f)
        ExtractCubeFace(cross.pixels.get(), cross.width, cross.height, f, faces[f].data());
    auto texel = [&](int f, int x, int y) { return &faces[f][(static_cast<size_t>(y) * n + x) * 4]; };
    auto difference = [](const uint8_t* a, const uint8_t* b) {
        return (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2])) / 3.0;
    };
    CubeEdgeReports reports(kCubeFaceCount * 4);
    for (int f = 0; f < kCubeFaceCount; ++f)
        for (int side = 0; side < 4; ++side)
            for (int i = 0; i < n; ++i) {
                const int x = side == 0 ? 0 : side == 1 ? n - 1 : i, y = side == 2 ? 0 : side == 3 ? n - 1 : i;
                // Half a texel beyond the border, on the neighbouring face.
                const float s = (side == 0 ? -0.5f : side == 1 ? n + 0.5f : x + 0.5f) / n;
                const float t = (side == 2 ? -0.5f : side == 3 ? n + 0.5f : y + 0.5f) / n;
                float d[3];
                FaceDirection(f, s, t, d);
                int other, ox, oy;
                SampleAt(d, n, other, ox, oy);
                const int ix = side == 0 ? 1 : side == 1 ? n - 2 : x, iy = side == 2 ? 1 : side == 3 ? n - 2 : y;
                EdgeReport& report = reports[f * 4 + side];
                report.meanDifference += difference(texel(f, x, y), texel(other, ox, oy)) / n;
                report.meanInside += difference(texel(f, x, y), texel(f, ix, iy)) / n;
            }
    return reports;
}

}  // namespace

TEST(ContentImages, EveryImageDecodesAtItsSize) {
    QUARN_REQUIRE_CONTENT();
    for (const ExpectedImage& expected : kTextures) {
        SCOPED_TRACE(expected.file);
        const DecodedImage image = DecodeImageFile(RunPath(expected.file).c_str());
        ASSERT_TRUE(image);
        EXPECT_EQ(image.width, expected.width);
        EXPECT_EQ(image.height, expected.height);
    }
}

TEST(ContentImages, TwentyGreetingsInTheListedOrderEachWithText) {
    QUARN_REQUIRE_CONTENT();
    ASSERT_EQ(kGreetingImageCount, 20);
    for (const char* path : kGreetingImagePaths) {
        SCOPED_TRACE(path);
        ASSERT_EQ(std::string(path).rfind("./Greetings/", 0), 0u);
        const DecodedImage image = DecodeImageFile(RunPath(path + 2).c_str());
        ASSERT_TRUE(image);
        EXPECT_EQ(image.width, 512);
        EXPECT_EQ(image.height, 256);
        int lit = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                lit += Brightness(image, x, y) > 200;
        EXPECT_GT(lit, 1000);
        // Drawn additively: the border is black, so the picture shows no frame.
        for (int x = 0; x < image.width; ++x)
            EXPECT_EQ(Brightness(image, x, 0) + Brightness(image, x, image.height - 1), 0);
    }
}

TEST(ContentImages, SpritesGlowInTheMiddleAndFadeToBlackBeforeTheirEdges) {
    QUARN_REQUIRE_CONTENT();
    for (const char* file : {"Textures/Floater.png", "Textures/Floater2.png", "Textures/QuadFloater.png"}) {
        SCOPED_TRACE(file);
        const DecodedImage sprite = DecodeImageFile(RunPath(file).c_str());
        ASSERT_TRUE(sprite);
        EXPECT_GT(Brightness(sprite, sprite.width / 2, sprite.height / 2), 240);
        int edge = 0;
        for (int i = 0; i < sprite.width; ++i)
            edge = std::max({edge, Brightness(sprite, i, 0), Brightness(sprite, i, sprite.height - 1),
                             Brightness(sprite, 0, i), Brightness(sprite, sprite.width - 1, i)});
        EXPECT_LE(edge, 1);
    }
}

TEST(ContentImages, CubeMapsAreSeamlessOnceCutIntoFaces) {
    QUARN_REQUIRE_CONTENT();
    for (const char* file : {"Textures/CubeMapTest.jpg", "Textures/CubeMapTest3.jpg"}) {
        SCOPED_TRACE(file);
        const DecodedImage cross = DecodeImageFile(RunPath(file).c_str());
        ASSERT_TRUE(cross);
        EXPECT_EQ(cross.width * 4, cross.height * 3);
        const CubeEdgeReports reports = CompareCubeEdges(cross);
        for (size_t side = 0; side < reports.size(); ++side) {
            // Across an edge the colours differ no more than between neighbours inside a face
            // (JPEG blocks add a little either way).
            SCOPED_TRACE("face " + std::to_string(side / 4) + " side " + std::to_string(side % 4));
            EXPECT_LT(reports[side].meanDifference, reports[side].meanInside + 1.5)
                << "inside " << reports[side].meanInside;
            EXPECT_LT(reports[side].meanDifference, 4.0);
        }
    }
}

TEST(ContentImages, CreditsAreTallWhiteTextOnBlack) {
    QUARN_REQUIRE_CONTENT();
    const DecodedImage credits = DecodeImageFile(RunPath("Textures/Credits.png").c_str());
    ASSERT_TRUE(credits);
    EXPECT_GT(credits.height, credits.width);
    int textRows = 0;
    for (int y = 0; y < credits.height; ++y) {
        bool lit = false;
        for (int x = 0; x < credits.width && !lit; ++x)
            lit = Brightness(credits, x, y) > 230;
        textRows += lit;
    }
    // Lines of text spread over the height, with dark gaps between them.
    EXPECT_GT(textRows, credits.height / 5);
    EXPECT_LT(textRows, credits.height * 4 / 5);
}
