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

}  // namespace

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
