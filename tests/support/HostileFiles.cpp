#include "support/HostileFiles.h"

#include <fstream>

namespace {

void PutBigEndian16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

void PutLittleEndian16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutBigEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
    PutBigEndian16(bytes, static_cast<uint16_t>(value >> 16));
    PutBigEndian16(bytes, static_cast<uint16_t>(value));
}

// Deflate packs its bits from the least significant up, but a Huffman code's first bit is its
// most significant: `Code` writes those, `Bits` plain fields.
class DeflateBits {
public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            Put((value >> i) & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i)
            Put((code >> i) & 1);
    }
    std::vector<uint8_t> bytes;

private:
    void Put(uint32_t bit) {
        if (used % 8 == 0)
            bytes.push_back(0);
        bytes.back() |= static_cast<uint8_t>(bit << (used % 8));
        ++used;
    }
    size_t used = 0;
};

uint32_t Crc32(const uint8_t* bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void PutPngChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    PutBigEndian32(png, static_cast<uint32_t>(data.size()));
    const size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian32(png, Crc32(png.data() + typeAt, png.size() - typeAt));
}

}  // namespace

std::vector<uint8_t> PngInflatingTo(size_t bytes) {
    // A zlib stream of one fixed-code block: a zero byte, then copies of 258 bytes at distance 1.
    DeflateBits deflate;
    deflate.Bits(1, 1);                      // last block
    deflate.Bits(1, 2);                      // fixed codes
    deflate.Code(0x30, 8);                   // literal 0
    for (size_t copied = 1; copied + 258 <= bytes; copied += 258) {
        deflate.Code(0xC5, 8);               // length 258
        deflate.Code(0, 5);                  // distance 1
    }
    deflate.Code(0, 7);                      // end of block
    std::vector<uint8_t> data = {0x78, 0x01};
    data.insert(data.end(), deflate.bytes.begin(), deflate.bytes.end());
    PutBigEndian32(data, 1);                 // the checksum, which the decoder does not read

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian32(header, 1);               // width
    PutBigEndian32(header, 1);               // height
    header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, no interlace
    PutPngChunk(png, "IHDR", header);
    PutPngChunk(png, "IDAT", data);
    PutPngChunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> JpegHeaderClaiming(uint16_t width, uint16_t height) {
    std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xC0};  // start of image, baseline frame
    PutBigEndian16(bytes, 17);                              // 8 + 3 bytes for each of 3 components
    bytes.push_back(8);                                     // bits per sample
    PutBigEndian16(bytes, height);
    PutBigEndian16(bytes, width);
    bytes.push_back(3);
    for (uint8_t component = 1; component <= 3; ++component)
        bytes.insert(bytes.end(), {component, 0x11, 0});  // id, 1x1 sampling, quantisation table 0
    return bytes;
}

std::vector<uint8_t> TgaBomb() {
    std::vector<uint8_t> bytes = {0, 0, 10, 0, 0, 0, 0, 0};  // no id, no colour map, RLE true colour
    PutLittleEndian16(bytes, 0);                              // x origin
    PutLittleEndian16(bytes, 0);                              // y origin
    PutLittleEndian16(bytes, 32767);
    PutLittleEndian16(bytes, 16384);
    bytes.insert(bytes.end(), {32, 0});                  // 32 bits a pixel, no flags
    bytes.insert(bytes.end(), {0xFF, 0x10, 0x20, 0x30}); // one packet of 128 pixels, then nothing
    return bytes;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}
