#include "FrameList.h"

#include <cinttypes>
#include <cstdio>

namespace {

// "123456 1234.5678 0123456789abcdef\n" with room to spare.
constexpr size_t kLineLength = 48;

}  // namespace

uint64_t PixelHash(const std::vector<uint8_t>& pixels) {
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto step = [&hash](uint64_t word) {
        hash = (hash ^ word) * 0x100000001b3ull;
        hash ^= hash >> 32;
    };
    const size_t whole = pixels.size() / 8 * 8;
    for (size_t i = 0; i < whole; i += 8) {
        uint64_t word = 0;
        for (int b = 7; b >= 0; --b) word = word << 8 | pixels[i + b];
        step(word);
    }
    for (size_t i = whole; i < pixels.size(); ++i) step(pixels[i]);
    return hash;
}

FrameList::FrameList(int64_t count) {
    text.reserve(static_cast<size_t>(count) * kLineLength);
}

void FrameList::Add(int64_t frame, double beat, const std::vector<uint8_t>& pixels) {
    char line[kLineLength * 2];
    const int length =
        std::snprintf(line, sizeof line, "%06" PRId64 " %9.4f %016" PRIx64 "\n", frame, beat, PixelHash(pixels));
    text.append(line, static_cast<size_t>(length));
}

std::filesystem::path FrameListFile(const std::filesystem::path& video) {
    std::filesystem::path list = video;
    return list += ".frames";
}
