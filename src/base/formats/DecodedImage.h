#pragma once
// A PNG or JPEG decoded by stb_image into 8-bit RGBA, top row first, whatever the file held.

#include <cstddef>
#include <cstdint>
#include <memory>

// Larger images are refused even where the driver would take them: at 4 bytes a pixel one
// side of 8192 already makes a 256 MiB picture.
inline constexpr int kMaxImageSide = 8192;

struct DecodedImage {
    struct Free {
        void operator()(uint8_t* pixels) const;
    };

    std::unique_ptr<uint8_t, Free> pixels;  // null when decoding failed
    int width = 0;
    int height = 0;

    explicit operator bool() const { return pixels != nullptr; }
};

// The file is read whole (a regular file of plausible size only) and decoded from memory.
DecodedImage DecodeImageFile(const char* path, int maxSide = kMaxImageSide);
// Anything but a PNG or a JPEG is refused. The size in the header is read first: an image wider
// or taller than `maxSide` is refused before a single pixel is decoded, and no allocation of the
// decoder may exceed what a picture of the announced size can need, so a tiny file cannot claim
// gigabytes.
DecodedImage DecodeImageMemory(const uint8_t* bytes, size_t size, int maxSide = kMaxImageSide);
