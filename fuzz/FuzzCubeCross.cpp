// An image of any bytes cut into the six faces of a cube map, as the renderer does with a
// vertical cross: decoded with the side limit, and cut only when its faces are square.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzLimits.h"
#include "formats/CubeMapCross.h"
#include "formats/DecodedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodedImage cross = DecodeImageMemory(data, size, kFuzzMaxImageSide);
    if (!cross || !HasSquareFaces(cross.width, cross.height))
        return 0;
    const CubeFaceSize faceSize = CubeFaceSizeOf(cross.width, cross.height);
    // Exactly one face's bytes, so that a cut reaching past them is caught.
    std::vector<uint8_t> face(size_t{4} * faceSize.width * faceSize.height);
    for (int i = 0; i < kCubeFaceCount; ++i)
        ExtractCubeFace(cross.pixels.get(), cross.width, cross.height, i, face.data());
    return 0;
}
