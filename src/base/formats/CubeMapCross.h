#pragma once
// Cutting the six faces of a cube map out of one vertical-cross image (3 faces wide, 4 tall):
//
//          +Y
//      -X  +Z  +X
//          -Y
//          -Z   (stored upside down, so it is turned by 180 degrees)
//
// Faces are numbered like GL_TEXTURE_CUBE_MAP_POSITIVE_X + face: +X, -X, +Y, -Y, +Z, -Z.

#include <cstdint>

inline constexpr int kCubeFaceCount = 6;

struct CubeFaceSize {
    int width = 0;
    int height = 0;
};

// Integer division: columns and rows beyond 3 x face width and 4 x face height are ignored.
CubeFaceSize CubeFaceSizeOf(int crossWidth, int crossHeight);

// Cube-map faces must be square and at least one pixel; other crosses cannot be uploaded.
bool HasSquareFaces(int crossWidth, int crossHeight);

// Copies one face of the RGBA cross into `faceOut`, which holds width x height RGBA pixels of
// CubeFaceSizeOf(crossWidth, crossHeight).
void ExtractCubeFace(const uint8_t* cross, int crossWidth, int crossHeight, int face, uint8_t* faceOut);
