#include <gtest/gtest.h>

#include <stb_image.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "render/ITexture.h"
#include "render/ShaderProgram.h"
#include "support/GLRendererFixture.h"

namespace {

constexpr const char* kVertex = R"(#version 330 core
// A textured quad placed by the camera.
layout(location = 0) in vec3 Position;
layout(location = 2) in vec2 TexCoord;
uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
out vec2 UV;
void main() {
    UV = TexCoord;
    gl_Position = ProjectionMatrix * ViewMatrix * vec4(Position, 1.0);
}
)";

constexpr const char* kFragment = R"(#version 330 core
uniform sampler2D Image;
in vec2 UV;
out vec4 Colour;
void main() { Colour = texture(Image, UV); }
)";

constexpr float kHalfSize = 8.0f;

// x, y, z, u, v: the image's top row (t = 0) at the top of the quad, wound counter-clockwise.
constexpr float kQuad[] = {
    -kHalfSize, -kHalfSize, 0.0f, 0.0f, 1.0f,  //
    kHalfSize,  -kHalfSize, 0.0f, 1.0f, 1.0f,  //
    kHalfSize,  kHalfSize,  0.0f, 1.0f, 0.0f,  //
    -kHalfSize, kHalfSize,  0.0f, 0.0f, 0.0f,
};
constexpr uint32_t kIndices[] = {0, 1, 2, 0, 2, 3};

enum class Shade { Red, Black, Mixed };

Shade ShadeOf(const uint8_t* p) {
    if (p[0] > 160 && p[1] < 60 && p[2] < 60)
        return Shade::Red;
    if (p[0] < 30 && p[1] < 30 && p[2] < 30)
        return Shade::Black;
    return Shade::Mixed;
}

class FrameCaptureTest : public GLRendererFixture {
protected:
    std::string Source(const char* name, const char* text) {
        const std::string path = (TempDirectory() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    void DrawFallbackQuad() {
        ShaderProgram program;
        ASSERT_TRUE(program.Build(Source("quad.vert", kVertex).c_str(), Source("quad.frag", kFragment).c_str()));
        GLuint vertexArray = 0, buffers[2] = {}, sampler = 0;
        glGenVertexArrays(1, &vertexArray);
        glBindVertexArray(vertexArray);
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, sizeof kQuad, kQuad, GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kIndices, kIndices, GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                              reinterpret_cast<const void*>(3 * sizeof(float)));
        glGenSamplers(1, &sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, renderer.maxAnisotropy);

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        program.Bind(0.0f);
        glUniform1i(program.UniformLocation("Image"), 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, renderer.GetTexture(nullptr, false)->name);
        glBindSampler(0, sampler);
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);

        glBindSampler(0, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindVertexArray(0);
        glDeleteSamplers(1, &sampler);
        glDeleteBuffers(2, buffers);
        glDeleteVertexArrays(1, &vertexArray);
        program.Destroy();
    }
};

// The camera starts 24 units away: a 16-unit quad under a 60-degree field of view spans
// 16 / (2 * 24 * tan 30) of the window's height, centred.
TEST_F(FrameCaptureTest, FallbackQuadLandsWhereTheCameraPutsIt) {
    DrawFallbackQuad();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const std::filesystem::path png = std::filesystem::path(QUARN_RUN_DIR).parent_path() / "test-frames" / "fallback-quad.png";
    std::filesystem::create_directories(png.parent_path());
    SaveBackBuffer(png);

    int width = 0, height = 0, channels = 0;
    stbi_uc* frame = stbi_load(png.string().c_str(), &width, &height, &channels, 4);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(width, 1280);
    ASSERT_EQ(height, 720);
    const std::vector<uint8_t> texture = ReadTextureImage(GL_TEXTURE_2D, GL_TEXTURE_2D, renderer.GetTexture(nullptr, false)->name);

    const float side = 720.0f * kHalfSize / (24.0f * std::tan(3.14159265f / 6.0f));
    const float left = 640.0f - side / 2.0f;
    const float top = 360.0f - side / 2.0f;
    auto framePixel = [&](float x, float y) {
        return frame + (static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4;
    };
    EXPECT_EQ(ShadeOf(framePixel(left - 6.0f, 360.0f)), Shade::Black) << "the clear colour left of the quad";
    EXPECT_EQ(ShadeOf(framePixel(640.0f, top - 6.0f)), Shade::Black) << "the clear colour above the quad";

    // Wherever the picture is plainly red or black, the frame shows the same at that spot: the
    // image is upright, unmirrored and where the projection and view put it.
    int compared = 0;
    for (int v = 4; v < 252; v += 3)
        for (int u = 4; u < 252; u += 3) {
            Shade shade = ShadeOf(&texture[(static_cast<size_t>(v) * 256 + u) * 4]);
            for (int dv = -3; dv <= 3 && shade != Shade::Mixed; ++dv)
                for (int du = -3; du <= 3; ++du)
                    if (ShadeOf(&texture[(static_cast<size_t>(v + dv) * 256 + u + du) * 4]) != shade)
                        shade = Shade::Mixed;
            if (shade == Shade::Mixed)
                continue;
            ++compared;
            const float x = left + (u + 0.5f) / 256.0f * side;
            const float y = top + (v + 0.5f) / 256.0f * side;
            EXPECT_EQ(ShadeOf(framePixel(x, y)), shade) << "texel " << u << "," << v;
        }
    EXPECT_GT(compared, 3000);
    stbi_image_free(frame);
}

}  // namespace
