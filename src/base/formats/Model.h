#pragma once
// One mesh of a ".exm" file: an interleaved float vertex array and 32-bit triangle indices.
// The loader creates no GL objects; the caller uploads the arrays and frees them with reset().

#include <cstddef>
#include <cstdint>
#include <memory>

struct Model {
    uint32_t floatCount = 0;  // floats in `vertices`, not vertices
    uint32_t indexCount = 0;  // element count for glDrawElements(GL_TRIANGLES, GL_UNSIGNED_INT)
    uint32_t reserved = 0;    // stored from the file, read by nothing
    std::unique_ptr<float[]> vertices;
    std::unique_ptr<uint32_t[]> indices;
};

// Floats per vertex. The file does not record its layout: the effect that draws it knows.
enum class VertexLayout : uint32_t {
    kPositionNormal = 6,
    kPositionNormalTexture = 8,
};

// Fills `model` with the file's contents, or leaves it all zero (and logs two lines) when the
// file is missing, not a regular file, unreadable, shorter than its header announces, or does
// not fit `layout` (a partial vertex, an index past the last vertex).
void LoadModel(Model& model, const char* path, VertexLayout layout);

// The same checks on a file already in memory; false (and `model` untouched) when it is damaged.
bool ParseModel(const uint8_t* bytes, size_t size, VertexLayout layout, Model& model);
