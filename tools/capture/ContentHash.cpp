#include "ContentHash.h"

#include <cstring>
#include <fstream>
#include <vector>

void ContentHash::Add(const char* data, size_t size) {
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, 8);
        Step(word);
    }
    for (; i < size; ++i) Step(static_cast<unsigned char>(data[i]));
}

void ContentHash::Add(const std::string& text) {
    Add(text.data(), text.size());
    Step(text.size());
}

void ContentHash::Step(uint64_t word) {
    hash = (hash ^ word) * 0x100000001b3ull;
    hash ^= hash >> 32;
}

std::optional<uint64_t> HashFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    ContentHash hash;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        hash.Add(buffer.data(), static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) return std::nullopt;
    return hash.Value();
}
