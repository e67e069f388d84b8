#pragma once
// The list of a capture's frames: one line each with the frame's number (counted from the start
// of the soundtrack), its beat and a hash of its pixels as they went to the encoder. Two captures
// with the same settings give the same list, so determinism is a file to compare.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// FNV-1a over the pixels' 64-bit words (little-endian) with a shift-xor after each step, so that
// high bits reach the low ones: every step is a bijection, so frames that differ in one word never
// share a hash, and a word at a time keeps a 2160p frame to a few milliseconds.
uint64_t PixelHash(const std::vector<uint8_t>& pixels);

class FrameList {
public:
    // Room for `count` lines, so that adding one never allocates.
    explicit FrameList(int64_t count);

    void Add(int64_t frame, double beat, const std::vector<uint8_t>& pixels);
    // Lines of another list, as they are (a segment's, when segments are joined).
    void AddLines(const std::string& lines) { text += lines; }
    const std::string& Text() const { return text; }

private:
    std::string text;
};

// "clip.mp4" -> "clip.mp4.frames": the whole name, so that clip.mp4 and clip.mkv keep their own.
std::filesystem::path FrameListFile(const std::filesystem::path& video);
