#pragma once
// The picture in the window, read back and stored as PNG.

#include <cstdint>
#include <filesystem>
#include <vector>

// The frame just presented, RGB, bottom row first, as GL reads it. `rgb` is resized only when
// the size changes.
void ReadPresentedFrame(int width, int height, std::vector<uint8_t>& rgb);
// Writes the rows top first, as an image viewer expects them.
bool WritePng(const std::filesystem::path& file, int width, int height, const std::vector<uint8_t>& rgb);
