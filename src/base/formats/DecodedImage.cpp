#include "formats/DecodedImage.h"

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

// stb_image reads past the end of the input as zeros; so does this walk.
class JpegBytes {
public:
    JpegBytes(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    uint8_t At(size_t at) const { return at < size_ ? bytes_[at] : 0; }
    size_t Size() const { return size_; }
    size_t SegmentLength(size_t at) const { return size_t{At(at)} << 8 | At(at + 1); }

    // After a scan's header: the next marker, skipping the entropy-coded bytes, where FF 00 is
    // a stuffed byte and FF D0 to FF D7 are restart markers.
    size_t NextMarkerAfterScan(size_t at) const {
        for (; at + 1 < size_; ++at)
            if (bytes_[at] == 0xFF && bytes_[at + 1] != 0x00 && (bytes_[at + 1] < 0xD0 || bytes_[at + 1] > 0xD7))
                return at;
        return size_;
    }

private:
    const uint8_t* bytes_;
    size_t size_;
};

// One Huffman table holds at most 256 codes. stb_image does not check the 16 counts of a
// table and writes one entry per code into arrays of 256, far past them for a crafted file.
bool HuffmanSegmentFits(const JpegBytes& jpeg, size_t at, size_t end) {
    while (at < end) {
        size_t codes = 0;
        for (size_t i = 1; i <= 16; ++i)
            codes += jpeg.At(at + i);
        if (codes > 256)
            return false;
        at += 17 + codes;
    }
    return true;
}

// False only for a JPEG with a Huffman table stb_image would overrun; anything else (other
// formats, damage stb_image refuses by itself) is left to the decoder. The walk must reach every
// table the decoder would: where a marker should start, the decoder skips stray bytes up to the
// next 0xFF while it looks for the frame header, so this walk skips them too.
bool JpegTablesFit(const uint8_t* bytes, size_t size) {
    const JpegBytes jpeg(bytes, size);
    if (jpeg.At(0) != 0xFF || jpeg.At(1) != 0xD8)
        return true;
    size_t at = 2;
    while (at + 1 < jpeg.Size()) {
        if (jpeg.At(at) != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = jpeg.At(at + 1);
        if (marker == 0xFF) {  // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        const size_t length = jpeg.SegmentLength(at + 2);
        if (length < 2)
            return true;
        if (marker == 0xC4 && !HuffmanSegmentFits(jpeg, at + 4, at + 2 + length))
            return false;
        at += 2 + length;
        if (marker == 0xDA)
            at = jpeg.NextMarkerAfterScan(at);
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
    // Reading the header already builds the tables met before the frame, so they are checked first.
    if (!JpegTablesFit(bytes, size) || !stbi_info_from_memory(bytes, length, &width, &height, &fileChannels)
        || !SideAllowed(width, maxSide) || !SideAllowed(height, maxSide))
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
