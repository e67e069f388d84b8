#pragma once
// Small files that claim far more than they hold, as an attacker would hand them to a loader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A JPEG that stops after its frame header, which announces a `width` x `height` colour picture.
std::vector<uint8_t> JpegHeaderClaiming(uint16_t width, uint16_t height);
// A 1 x 1 grey PNG, well formed but for its data, which inflates to about `bytes` bytes (the
// picture needs 2) at some 160 to 1.
std::vector<uint8_t> PngInflatingTo(size_t bytes);
// A 22-byte run-length TGA announcing 32767 x 16384 RGBA pixels: 2 GiB once decoded.
std::vector<uint8_t> TgaBomb();

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
