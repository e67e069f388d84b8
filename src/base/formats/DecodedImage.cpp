#include "formats/DecodedImage.h"

#include <stb_image.h>

#include <climits>
#include <cstring>

#include "formats/StbImage.h"
#include "io/WholeFile.h"

namespace {

constexpr int kRgbaChannels = 4;
// Well above any PNG or JPEG of the largest side allowed that is worth showing.
constexpr size_t kMaxImageFileBytes = size_t{64} << 20;
constexpr int kMaxHuffmanSegments = 1024;

bool SideAllowed(int side, int maxSide) {
    return side > 0 && side <= maxSide;
}

// The most one allocation of the decoder needs for a picture of the announced size held in a file
// of `fileBytes`: 8 bytes a pixel (16-bit RGBA) with a JPEG's block padding, twice over because
// the PNG inflater grows its buffer by doubling; the file's data gathered into one buffer, grown
// the same way; and room for the decoder's own state. Without it a PNG of a few hundred bytes that
// claims a data chunk of 2 GiB gets 2 GiB, and one whose data inflates a thousandfold past what
// its header needs gets all of it: neither is a picture, and both now stop at this bound.
size_t DecoderAllocationBound(int width, int height, size_t fileBytes) {
    constexpr size_t kBytesPerPixel = 8;
    constexpr size_t kBlockPadding = 32;
    constexpr size_t kDecoderState = size_t{1} << 20;
    const size_t paddedPixels = (static_cast<size_t>(width) + kBlockPadding) * (static_cast<size_t>(height) + kBlockPadding);
    return 2 * kBytesPerPixel * paddedPixels + 2 * fileBytes + kDecoderState;
}

// stb_image reads past the end of the input as zeros; so do the checks below.
uint8_t ByteAt(const uint8_t* bytes, size_t size, size_t at) {
    return at < size ? bytes[at] : 0;
}

bool IsPng(const uint8_t* bytes, size_t size) {
    static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= sizeof kSignature && std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

// The decoder's own test: 0xFF, any number of 0xFF fill bytes, then the start-of-image marker.
bool IsJpeg(const uint8_t* bytes, size_t size) {
    if (ByteAt(bytes, size, 0) != 0xFF)
        return false;
    size_t at = 1;
    while (ByteAt(bytes, size, at) == 0xFF)
        ++at;
    return ByteAt(bytes, size, at) == 0xD8;
}

// One Huffman-table segment read as the decoder reads it, from its length on. A table holds at
// most 256 codes, but stb_image does not check a table's 16 counts and writes one entry per code
// into arrays of 256: far past them for a crafted file. A table of a class or slot the decoder
// refuses ends the segment there; past the end of the input every table is empty and fits.
bool HuffmanSegmentFits(const uint8_t* bytes, size_t size, size_t at) {
    int left = (ByteAt(bytes, size, at) << 8 | ByteAt(bytes, size, at + 1)) - 2;
    for (at += 2; left > 0 && at < size;) {
        const uint8_t slot = bytes[at];
        if (slot >> 4 > 1 || (slot & 15) > 3)
            return true;
        int codes = 0;
        for (size_t i = 1; i <= 16; ++i)
            codes += ByteAt(bytes, size, at + i);
        if (codes > 256)
            return false;
        left -= 17 + codes;
        at += 17 + static_cast<size_t>(codes);
    }
    return true;
}

// Whatever path the decoder takes through a file (the header, between scans, a marker found
// inside damaged entropy-coded data), it builds a Huffman table only straight after the bytes
// FF C4. So the segment after every such pair is checked, wherever it stands: none the decoder
// could build is missed, however the file is laid out. Pairs inside metadata the decoder skips
// are checked too; that one of them reads as an overfull table is improbable. A real file has a
// handful of tables, and each check may read 64 KiB, so a file with very many is refused.
bool JpegTablesFit(const uint8_t* bytes, size_t size) {
    int tables = 0;
    for (size_t at = 1; at < size; ++at) {
        if (bytes[at - 1] != 0xFF || bytes[at] != 0xC4)
            continue;
        if (++tables > kMaxHuffmanSegments || !HuffmanSegmentFits(bytes, size, at + 1))
            return false;
    }
    return true;
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
    // Only PNG and JPEG are pictures of this program; the decoder's other formats would only widen
    // what a hostile file can reach. Reading a JPEG's header already builds the tables met before
    // the frame, so they are checked first.
    const bool jpeg = IsJpeg(bytes, size);
    if (!(jpeg || IsPng(bytes, size)) || (jpeg && !JpegTablesFit(bytes, size)))
        return {};
    {
        // The header's size is not known yet: reading it takes no more than the decoder's state.
        const StbAllocationLimit headerOnly(DecoderAllocationBound(0, 0, 0));
        if (!stbi_info_from_memory(bytes, length, &width, &height, &fileChannels)
            || !SideAllowed(width, maxSide) || !SideAllowed(height, maxSide))
            return {};
    }

    const int announcedWidth = width;
    const int announcedHeight = height;
    const StbAllocationLimit limit(DecoderAllocationBound(width, height, size));
    DecodedImage image;
    image.pixels.reset(stbi_load_from_memory(bytes, length, &width, &height, &fileChannels, kRgbaChannels));
    // The decoder reads the same header again; a picture of another size is not the one checked.
    if (!image.pixels || width != announcedWidth || height != announcedHeight)
        return {};
    image.width = width;
    image.height = height;
    return image;
}
