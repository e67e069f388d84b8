#pragma once
// The one hash of the capture tool's data and files: FNV-1a over 64-bit words with a shift-xor
// after each step, so that high bits reach the low ones. A word at a time keeps the run
// directory's data to a fraction of a second and a segment's video to a few milliseconds.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class ContentHash {
public:
    void Add(const char* data, size_t size);
    // The text and its length, so that "ab" + "c" and "a" + "bc" differ.
    void Add(const std::string& text);
    uint64_t Value() const { return hash; }

private:
    void Step(uint64_t word);

    uint64_t hash = 0xcbf29ce484222325ull;
};

// The hash of the file's bytes; null when it cannot be read.
std::optional<uint64_t> HashFile(const std::filesystem::path& file);
