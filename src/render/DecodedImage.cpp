#include "render/DecodedImage.h"

#include <stb_image.h>

#include <climits>

namespace {

constexpr int kRgbaChannels = 4;

DecodedImage Adopt(stbi_uc* pixels, int width, int height) {
    DecodedImage image;
    image.pixels.reset(pixels);
    if (pixels) {
        image.width = width;
        image.height = height;
    }
    return image;
}

}  // namespace

void DecodedImage::Free::operator()(uint8_t* pixels) const {
    stbi_image_free(pixels);
}

DecodedImage DecodeImageFile(const char* path) {
    int width = 0;
    int height = 0;
    int fileChannels = 0;
    stbi_uc* pixels = stbi_load(path, &width, &height, &fileChannels, kRgbaChannels);
    return Adopt(pixels, width, height);
}

DecodedImage DecodeImageMemory(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0 || size > INT_MAX)
        return {};
    int width = 0;
    int height = 0;
    int fileChannels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &fileChannels, kRgbaChannels);
    return Adopt(pixels, width, height);
}
