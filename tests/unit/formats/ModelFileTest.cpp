#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/Model.h"
#include "support/BlockingPipe.h"
#include "support/LogRecorder.h"
#include "support/ScratchDirectory.h"

namespace {

void AppendWords(std::vector<uint8_t>& bytes, const void* words, size_t count) {
    const size_t at = bytes.size();
    bytes.resize(at + count * 4);
    // An empty vector's data() may be null, which memcpy must not be given even for no bytes.
    if (count > 0) std::memcpy(bytes.data() + at, words, count * 4);
}

std::vector<uint8_t> ModelBytes(uint32_t floatCount, uint32_t indexCount, uint32_t reserved,
                                const std::vector<float>& vertices, const std::vector<uint32_t>& indices) {
    const uint32_t header[3] = {floatCount, indexCount, reserved};
    std::vector<uint8_t> bytes;
    AppendWords(bytes, header, 3);
    AppendWords(bytes, vertices.data(), vertices.size());
    AppendWords(bytes, indices.data(), indices.size());
    return bytes;
}

// A unit cube with per-face normals: 24 vertices of 6 floats, 12 triangles.
void CubeArrays(std::vector<float>& vertices, std::vector<uint32_t>& indices) {
    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2;
        const float sign = face % 2 ? -1.0f : 1.0f;
        for (int corner = 0; corner < 4; ++corner) {
            float position[3];
            position[axis] = sign;
            position[(axis + 1) % 3] = corner & 1 ? 1.0f : -1.0f;
            position[(axis + 2) % 3] = corner & 2 ? 1.0f : -1.0f;
            float normal[3] = {0, 0, 0};
            normal[axis] = sign;
            vertices.insert(vertices.end(), position, position + 3);
            vertices.insert(vertices.end(), normal, normal + 3);
        }
        const uint32_t base = face * 4;
        indices.insert(indices.end(), {base, base + 1, base + 2, base + 2, base + 1, base + 3});
    }
}

class ModelFileTest : public ::testing::Test {
protected:
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = directory.PathOf(name);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    // A record that held data before, so that a failed load visibly zeroes it.
    static Model DirtyModel() {
        Model model;
        model.floatCount = 7;
        model.indexCount = 3;
        model.reserved = 99;
        model.vertices.reset(new float[7]);
        model.indices.reset(new uint32_t[3]);
        return model;
    }

    void ExpectRefused(const std::string& path, VertexLayout layout = VertexLayout::kPositionNormal) {
        Model model = DirtyModel();
        LoadModel(model, path.c_str(), layout);
        EXPECT_EQ(model.floatCount, 0u);
        EXPECT_EQ(model.indexCount, 0u);
        EXPECT_EQ(model.reserved, 0u);
        EXPECT_EQ(model.vertices, nullptr);
        EXPECT_EQ(model.indices, nullptr);
        const std::vector<std::string> expected = {"ERROR: Failed To Load Model: " + path,
                                                   "ERROR: Nullifying Model Data..."};
        EXPECT_EQ(logger.lines, expected);
    }

    LogRecorder logger;
    ScratchDirectory directory{"quarn-model"};
};

TEST_F(ModelFileTest, HeaderOnlyFileIsAnEmptyModelKeepingTheReservedWord) {
    const std::string path = Write("empty.exm", ModelBytes(0, 0, 0xCAFEBABE, {}, {}));
    ASSERT_EQ(std::filesystem::file_size(path), 12u);
    Model model = DirtyModel();
    LoadModel(model, path.c_str(), VertexLayout::kPositionNormal);
    EXPECT_EQ(model.floatCount, 0u);
    EXPECT_EQ(model.indexCount, 0u);
    EXPECT_EQ(model.reserved, 0xCAFEBABEu);
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(ModelFileTest, CubeLoadsEveryFloatAndIndexAndIgnoresTrailingBytes) {
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    CubeArrays(vertices, indices);
    std::vector<uint8_t> bytes = ModelBytes(144, 36, 5, vertices, indices);
    ASSERT_EQ(bytes.size(), 732u);
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    const std::string path = Write("cube.exm", bytes);

    Model model;
    LoadModel(model, path.c_str(), VertexLayout::kPositionNormal);
    ASSERT_EQ(model.floatCount, 144u);
    ASSERT_EQ(model.indexCount, 36u);
    EXPECT_EQ(model.reserved, 5u);
    EXPECT_EQ(std::memcmp(model.vertices.get(), vertices.data(), 144 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(model.indices.get(), indices.data(), 36 * sizeof(uint32_t)), 0);
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(ModelFileTest, MissingFileLogsTwoLinesAndZeroesTheRecord) {
    ExpectRefused(directory.PathOf("no-such.exm"));
}

TEST_F(ModelFileTest, FileShorterThanItsHeaderIsRefused) {
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    CubeArrays(vertices, indices);
    std::vector<uint8_t> bytes = ModelBytes(144, 36, 0, vertices, indices);
    bytes.resize(bytes.size() - 1);
    ExpectRefused(Write("truncated.exm", bytes));
}

TEST_F(ModelFileTest, FileShorterThanTheHeaderItselfIsRefused) {
    ExpectRefused(Write("stub.exm", {1, 0, 0, 0, 0, 0}));
}

TEST_F(ModelFileTest, AbsurdCountsAreRefusedWithoutAllocating) {
    // 0xFFFFFFFF floats would be 16 GiB; both counts together overflow 32 bits.
    ExpectRefused(Write("huge-floats.exm", ModelBytes(0xFFFFFFFFu, 0, 0, {1, 2, 3}, {})));
    logger.lines.clear();
    ExpectRefused(Write("huge-both.exm", ModelBytes(0x80000000u, 0x80000000u, 0, {1, 2, 3}, {})));
}

// GL draws the indices unchecked, so a mesh that does not fit the layout its effect declares
// must never reach a buffer; nor may anything that is not a regular file stall the load.
TEST_F(ModelFileTest, MeshesThatDoNotFitTheirLayoutAndNonFilesAreRefused) {
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    CubeArrays(vertices, indices);
    // 144 floats are 18 whole vertices of 8 floats, but the cube's indices reach vertex 23.
    ExpectRefused(Write("cube-as-textured.exm", ModelBytes(144, 36, 0, vertices, indices)),
                  VertexLayout::kPositionNormalTexture);
    logger.lines.clear();
    indices.back() = 24;  // one past the last of the cube's 24 vertices
    ExpectRefused(Write("index-past-end.exm", ModelBytes(144, 36, 0, vertices, indices)));
    logger.lines.clear();
    vertices.push_back(0.0f);  // a seventh float begins a vertex that never ends
    ExpectRefused(Write("partial-vertex.exm", ModelBytes(145, 0, 0, vertices, {})));
    logger.lines.clear();

    const std::string folder = directory.PathOf("folder.exm");
    std::filesystem::create_directory(folder);
    ExpectRefused(folder);
    logger.lines.clear();
    const BlockingPipe fifo(directory.PathOf("fifo.exm"));
    ASSERT_TRUE(fifo.Valid());
    ExpectRefused(fifo.Path());
}

TEST_F(ModelFileTest, TwoLoadsOfOnePathGiveIndependentArrays) {
    const std::string path = Write("tri.exm", ModelBytes(6, 3, 0, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}, {0, 0, 0}));
    Model first;
    Model second;
    LoadModel(first, path.c_str(), VertexLayout::kPositionNormal);
    LoadModel(second, path.c_str(), VertexLayout::kPositionNormal);
    ASSERT_NE(first.vertices, nullptr);
    ASSERT_NE(first.vertices.get(), second.vertices.get());
    ASSERT_NE(first.indices.get(), second.indices.get());
    first.vertices[0] = 42.0f;
    first.indices[0] = 7;
    EXPECT_EQ(second.vertices[0], 1.0f);
    EXPECT_EQ(second.indices[0], 0u);
}

}  // namespace
