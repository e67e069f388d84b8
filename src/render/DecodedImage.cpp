#include "render/DecodedImage.h"

#include <stb_image.h>

#include <climits>

#include "io/WholeFile.h"

namespace {

constexpr int kRgbaChannels = 4;
// Well above any PNG or JPEG of the largest side allowed that is worth showing.
constexpr size_t kMaxImageFileBytes = size_t{64} << 20;

bool SideAllowed(int side, int maxSide) {
    return side > 0 && side <= maxSide;
}

}  // namespace

void DecodedImage::Free::operator()(uint8_t* pixels) const {
    stbi_image_free(pixels);
}

DecodedImage DecodeImageFile(const char* path, int maxSide) {
    const WholeFile file = ReadWholeFile(path, kMaxImageFileBytes);
    if (!file.Ok())
        return {};
    return DecodeImageMemory(file.bytes.data(), file.bytes.size(), maxSide);
}

DecodedImage DecodeImageMemory(const uint8_t* bytes, size_t size, int maxSide) {
    if (!bytes || size == 0 || size > INT_MAX)
        return {};
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int fileChannels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &fileChannels) || !SideAllowed(width, maxSide)
        || !SideAllowed(height, maxSide))
        return {};

    const int announcedWidth = width;
    const int announcedHeight = height;
    DecodedImage image;
    image.pixels.reset(stbi_load_from_memory(bytes, length, &width, &height, &fileChannels, kRgbaChannels));
    // The decoder reads the same header again; a picture of another size is not the one checked.
    if (!image.pixels || width != announcedWidth || height != announcedHeight)
        return {};
    image.width = width;
    image.height = height;
    return image;
}
