#include <gtest/gtest.h>

#include <vector>

#include <stb_image.h>

#include "formats/DecodedImage.h"
#include "support/HostileFiles.h"
#include "support/PeakResident.h"

namespace {

// A Huffman table of 16 x 255 codes would make stb_image write thousands of bytes past its
// 256-entry arrays; the file is refused before the decoder sees it.
TEST(DecodedImage, JpegWithAnOverfullHuffmanTableIsRefused) {
    std::vector<uint8_t> bytes = JpegHeaderClaiming(8, 8);
    bytes.insert(bytes.end(), {0xFF, 0xC4, 0x10, 0x03, 0x00});  // DHT of 4099 bytes, DC table 0
    bytes.insert(bytes.end(), 16, 255);
    bytes.insert(bytes.end(), 16 * 255, 1);
    EXPECT_FALSE(DecodeImageMemory(bytes.data(), bytes.size()));
}

// A PNG's data may inflate far past what its header needs: unchecked, the decoder keeps doubling
// its buffer and holds all of it before it finds the picture wrong.
TEST(DecodedImage, PngDataInflatingPastItsPictureIsRefusedWithinBoundedMemory) {
    constexpr size_t kInflated = size_t{256} << 20;
    const std::vector<uint8_t> bomb = PngInflatingTo(kInflated);
    const long before = PeakResidentKiB();
    EXPECT_FALSE(DecodeImageMemory(bomb.data(), bomb.size()));
    EXPECT_LT(PeakResidentKiB() - before, 64 << 10) << "KiB of peak memory for a 1 x 1 picture";
}

// The decoder reads TGA, BMP, GIF and more, with far less scrutiny than its PNG and JPEG paths;
// none is a picture of this program, so even a well-formed one is refused.
TEST(DecodedImage, OnlyPngAndJpegAreDecoded) {
    // 1 x 1 uncompressed true-colour TGA: an 18-byte header and one blue-green-red pixel.
    const std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 30, 20, 10};
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* decodable = stbi_load_from_memory(tga.data(), static_cast<int>(tga.size()), &width, &height, &channels, 4);
    ASSERT_NE(decodable, nullptr) << "the file must be one the decoder reads";
    stbi_image_free(decodable);
    EXPECT_FALSE(DecodeImageMemory(tga.data(), tga.size()));
}

}  // namespace
