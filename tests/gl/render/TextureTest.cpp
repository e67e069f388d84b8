#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "render/ITexture.h"
#include "support/CoordinateImage.h"
#include "support/GLRendererFixture.h"
#include "support/HostileFiles.h"

namespace {

constexpr GLenum kNoError = GL_NO_ERROR;

class TextureTest : public GLRendererFixture {
protected:
    std::string WritePng(const char* name, int width, int height, int channels, const std::vector<uint8_t>& pixels) {
        const std::string path = (TempDirectory() / name).string();
        EXPECT_TRUE(stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels));
        return path;
    }

    std::string WriteCoordinateCross(const char* name, int width, int height) {
        return WritePng(name, width, height, 4, CoordinateImage(width, height));
    }

    static GLint Level0(GLenum bindTarget, GLenum imageTarget, GLuint name, GLenum parameter) {
        GLint value = -1;
        glBindTexture(bindTarget, name);
        glGetTexLevelParameteriv(imageTarget, 0, parameter, &value);
        glBindTexture(bindTarget, 0);
        return value;
    }

    // Each face is its cell of the cross, read back corner by corner.
    static void ExpectCubeFaces(GLuint name, int faceSize) {
        for (int face = 0; face < 6; ++face)
            ExpectCubeFaceCorners(ReadTextureImage(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, name),
                                  faceSize, faceSize, face);
    }
};

TEST_F(TextureTest, TwoRequestsForOnePathLoadItOnce) {
    const std::string path = WritePng("Floater.png", 2, 2, 4, std::vector<uint8_t>(16, 200));
    ITexture* first = renderer.GetTexture(path.c_str(), false);
    ITexture* second = renderer.GetTexture(path.c_str(), false);
    EXPECT_EQ(first, second);
    EXPECT_EQ(log.Count("Creating Texture: " + path), 1);
    EXPECT_EQ(first->width, 2);
    EXPECT_EQ(first->height, 2);
    EXPECT_EQ(first->format, static_cast<GLenum>(GL_RGBA));
    // Mipmaps were made: level 1 of a 2 x 2 image is 1 x 1.
    glBindTexture(GL_TEXTURE_2D, first->name);
    GLint levelOneWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOneWidth);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(levelOneWidth, 1);
    EXPECT_EQ(glGetError(), kNoError);
}

TEST_F(TextureTest, MissingAndNullPathsGetTheFallback) {
    ITexture* fallback = renderer.GetTexture(nullptr, false);
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->width, 256);
    EXPECT_EQ(fallback->height, 256);

    const size_t linesBefore = log.lines.size();
    EXPECT_EQ(renderer.GetTexture(nullptr, false), fallback);
    EXPECT_EQ(log.lines.size(), linesBefore) << "a null path logs nothing";

    const std::string missing = (TempDirectory() / "nothing-here.png").string();
    EXPECT_EQ(renderer.GetTexture(missing.c_str(), false), fallback);
    EXPECT_EQ(renderer.GetTexture(missing.c_str(), false), fallback);
    // Not cached: every request tries again and says so again.
    EXPECT_EQ(log.Count("Returned A Missing Texture! Unable To Load File: " + missing), 2);

    const std::string garbage = (TempDirectory() / "garbage.png").string();
    std::FILE* file = std::fopen(garbage.c_str(), "wb");
    std::fputs("not a png at all", file);
    std::fclose(file);
    EXPECT_EQ(renderer.GetTexture(garbage.c_str(), false), fallback);
    EXPECT_EQ(log.Count("Returned A Missing Texture! Unable To Load File: " + garbage), 1);
}

// Each is refused from its header or its file type, before a pixel is decoded or a read could
// block; the one side that is still allowed shows the limit is not off by one.
TEST_F(TextureTest, OversizedClaimsAndNonFilesGetTheFallbackWithoutDecoding) {
    ITexture* fallback = renderer.GetTexture(nullptr, false);
    const std::filesystem::path directory = TempDirectory();
    const std::string jpeg = (directory / "huge.jpg").string();
    ASSERT_TRUE(WriteBytes(jpeg, JpegHeaderClaiming(12000, 16000)));
    const std::string bomb = (directory / "bomb.png").string();
    ASSERT_TRUE(WriteBytes(bomb, TgaBomb()));
    const std::string wide = WritePng("wide.png", 8193, 1, 1, std::vector<uint8_t>(8193, 7));
    const std::string folder = (directory / "folder.png").string();
    std::filesystem::create_directory(folder);
    const std::string fifo = (directory / "fifo.png").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    for (const std::string& path : {jpeg, bomb, wide, folder, fifo}) {
        EXPECT_EQ(renderer.GetTexture(path.c_str(), false), fallback) << path;
        EXPECT_EQ(log.Count("Returned A Missing Texture! Unable To Load File: " + path), 1) << path;
    }
    const std::string widest = WritePng("widest.png", 8192, 1, 1, std::vector<uint8_t>(8192, 7));
    EXPECT_NE(renderer.GetTexture(widest.c_str(), false), fallback);
    EXPECT_EQ(glGetError(), kNoError);
}

TEST_F(TextureTest, AFailedFileIsNotDecodedAgainButEveryRequestSaysSo) {
    ITexture* fallback = renderer.GetTexture(nullptr, false);
    const std::string path = (TempDirectory() / "late.png").string();
    ASSERT_TRUE(WriteBytes(path, {'n', 'o', 't', ' ', 'p', 'n', 'g'}));
    EXPECT_EQ(renderer.GetTexture(path.c_str(), false), fallback);
    // Mended on disk meanwhile: a run that decoded again would now load it.
    WritePng("late.png", 2, 2, 4, std::vector<uint8_t>(16, 200));
    EXPECT_EQ(renderer.GetTexture(path.c_str(), false), fallback);
    EXPECT_EQ(log.Count("Returned A Missing Texture! Unable To Load File: " + path), 2);
    EXPECT_EQ(log.Count("Creating Texture: " + path), 0);
}

TEST_F(TextureTest, FallbackShowsRedLetteringOnBlack) {
    const std::vector<uint8_t> pixels = ReadTextureImage(GL_TEXTURE_2D, GL_TEXTURE_2D, renderer.GetTexture(nullptr, false)->name);
    ASSERT_EQ(pixels.size(), 256u * 256u * 4u);
    auto at = [&](int x, int y) { return &pixels[(static_cast<size_t>(y) * 256 + x) * 4]; };
    int red = 0;
    int other = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = at(x, y);
            EXPECT_EQ(p[3], 255) << "opaque everywhere";
            if (p[0] > 128 && p[1] < 64 && p[2] < 64)
                ++red;
            else if (!(p[0] < 8 && p[1] < 8 && p[2] < 8))
                ++other;
        }
    EXPECT_EQ(at(0, 0)[0], 0) << "the corner is black";
    EXPECT_GT(at(128, 8)[0], 200) << "the frame runs along the top";
    // The lettering: plenty of red inside the frame, and only red and black (plus the anti-aliased edges).
    int lettering = 0;
    for (int y = 40; y < 216; ++y)
        for (int x = 20; x < 236; ++x)
            lettering += at(x, y)[0] > 128 ? 1 : 0;
    EXPECT_GT(lettering, 2000);
    EXPECT_GT(red, lettering);
    EXPECT_LT(other, red / 2);
}

TEST_F(TextureTest, RgbAndGreyFilesBecomeRgba) {
    const std::string rgb = WritePng("rgb.png", 2, 1, 3, {10, 20, 30, 40, 50, 60});
    const std::string grey = WritePng("grey.png", 2, 1, 1, {77, 199});
    ITexture* rgbTexture = renderer.GetTexture(rgb.c_str(), false);
    ITexture* greyTexture = renderer.GetTexture(grey.c_str(), false);
    EXPECT_EQ(ReadTextureImage(GL_TEXTURE_2D, GL_TEXTURE_2D, rgbTexture->name),
              (std::vector<uint8_t>{10, 20, 30, 255, 40, 50, 60, 255}));
    EXPECT_EQ(ReadTextureImage(GL_TEXTURE_2D, GL_TEXTURE_2D, greyTexture->name),
              (std::vector<uint8_t>{77, 77, 77, 255, 199, 199, 199, 255}));
}

TEST_F(TextureTest, TopRowOfTheFileIsTheFirstRowUploaded) {
    const std::string path = WritePng("rows.png", 1, 2, 4, {255, 0, 0, 255, 0, 0, 255, 255});
    EXPECT_EQ(ReadTextureImage(GL_TEXTURE_2D, GL_TEXTURE_2D, renderer.GetTexture(path.c_str(), false)->name),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
}

TEST_F(TextureTest, CubeMapFacesComeFromTheCrossWithNegativeZTurned) {
    const std::string path = WriteCoordinateCross("sky.png", 24, 32);
    ITexture* sky = renderer.GetTexture(path.c_str(), true);
    EXPECT_EQ(log.Count("Creating Cube Map Texture: " + path), 1);
    EXPECT_EQ(sky->width, 24);
    EXPECT_EQ(sky->height, 32);
    ExpectCubeFaces(sky->name, 8);
    EXPECT_EQ(glGetError(), kNoError);
}

TEST_F(TextureTest, CubeMapCrossRemainderIsDropped) {
    const std::string path = WriteCoordinateCross("sky-wide.png", 771, 1030);
    ITexture* sky = renderer.GetTexture(path.c_str(), true);
    EXPECT_EQ(sky->width, 771);
    EXPECT_EQ(sky->height, 1030);
    ExpectCubeFaces(sky->name, 257);
    EXPECT_EQ(glGetError(), kNoError);
}

TEST_F(TextureTest, CrossWithNonSquareFacesGetsTheFallbackCubeMap) {
    // 770 x 1030 would give 256 x 257 faces, which no cube map can hold.
    const std::string path = WriteCoordinateCross("sky-odd.png", 770, 1030);
    ITexture* sky = renderer.GetTexture(path.c_str(), true);
    EXPECT_EQ(log.Count("ERROR: Cube Map Image Is Not A Cross Of Square Faces: " + path), 1);
    EXPECT_EQ(log.Count("Creating Cube Map Texture: " + path), 0);
    EXPECT_EQ(Level0(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, sky->name, GL_TEXTURE_WIDTH), 256);

    const std::string missing = (TempDirectory() / "no-sky.png").string();
    EXPECT_EQ(renderer.GetTexture(missing.c_str(), true), sky) << "one fallback cube map for every failure";
    EXPECT_NE(renderer.GetTexture(missing.c_str(), false), sky) << "2D requests keep the 2D fallback";
    EXPECT_EQ(glGetError(), kNoError);
}

}  // namespace
