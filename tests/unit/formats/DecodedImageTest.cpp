#include <gtest/gtest.h>

#include <vector>

#include "formats/DecodedImage.h"
#include "support/HostileFiles.h"

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

}  // namespace
