#include "formats/CubeMapCross.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr size_t kBytesPerPixel = 4;

struct FacePlacement {
    int column;
    int row;
    bool turned;
};

constexpr FacePlacement kPlacements[kCubeFaceCount] = {
    {2, 1, false},  // +X
    {0, 1, false},  // -X
    {1, 0, false},  // +Y
    {1, 2, false},  // -Y
    {1, 1, false},  // +Z
    {1, 3, true},   // -Z
};

void CopyPixelsReversed(const uint8_t* from, uint8_t* to, int count) {
    for (int x = 0; x < count; ++x)
        std::memcpy(to + x * kBytesPerPixel, from + (count - 1 - x) * kBytesPerPixel, kBytesPerPixel);
}

}  // namespace

CubeFaceSize CubeFaceSizeOf(int crossWidth, int crossHeight) {
    return {crossWidth / 3, crossHeight / 4};
}

bool HasSquareFaces(int crossWidth, int crossHeight) {
    const CubeFaceSize size = CubeFaceSizeOf(crossWidth, crossHeight);
    return size.width > 0 && size.width == size.height;
}

void ExtractCubeFace(const uint8_t* cross, int crossWidth, int crossHeight, int face, uint8_t* faceOut) {
    const CubeFaceSize size = CubeFaceSizeOf(crossWidth, crossHeight);
    const FacePlacement& placement = kPlacements[face];
    const size_t crossStride = static_cast<size_t>(crossWidth) * kBytesPerPixel;
    const size_t faceStride = static_cast<size_t>(size.width) * kBytesPerPixel;
    const uint8_t* origin = cross + static_cast<size_t>(placement.row) * size.height * crossStride
                            + static_cast<size_t>(placement.column) * faceStride;

    for (int y = 0; y < size.height; ++y) {
        const uint8_t* sourceRow = origin + static_cast<size_t>(y) * crossStride;
        if (placement.turned) {
            uint8_t* targetRow = faceOut + static_cast<size_t>(size.height - 1 - y) * faceStride;
            CopyPixelsReversed(sourceRow, targetRow, size.width);
        } else {
            std::memcpy(faceOut + static_cast<size_t>(y) * faceStride, sourceRow, faceStride);
        }
    }
}
