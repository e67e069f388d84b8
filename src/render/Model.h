#pragma once
// One mesh of a ".exm" file: an interleaved float vertex array and 32-bit triangle indices.
// The loader creates no GL objects; the caller uploads the arrays and frees them with reset().

#include <cstdint>
#include <memory>

struct Model {
    uint32_t floatCount = 0;  // floats in `vertices`, not vertices
    uint32_t indexCount = 0;  // element count for glDrawElements(GL_TRIANGLES, GL_UNSIGNED_INT)
    uint32_t reserved = 0;    // stored from the file, read by nothing
    std::unique_ptr<float[]> vertices;
    std::unique_ptr<uint32_t[]> indices;
};

// Fills `model` with the file's contents, or leaves it all zero (and logs two lines) when the
// file is missing, unreadable or shorter than its header announces.
void LoadModel(Model& model, const char* path);
