#pragma once
// A PNG or JPEG decoded by stb_image into 8-bit RGBA, top row first, whatever the file held.

#include <cstddef>
#include <cstdint>
#include <memory>

struct DecodedImage {
    struct Free {
        void operator()(uint8_t* pixels) const;
    };

    std::unique_ptr<uint8_t, Free> pixels;  // null when decoding failed
    int width = 0;
    int height = 0;

    explicit operator bool() const { return pixels != nullptr; }
};

DecodedImage DecodeImageFile(const char* path);
DecodedImage DecodeImageMemory(const uint8_t* bytes, size_t size);
