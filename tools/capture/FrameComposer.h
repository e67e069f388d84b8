#pragma once
// Output frames made of several renders. A supersampled render is averaged over square blocks of
// pixels (an area filter); motion-blur renders are averaged over the shutter. The sums are kept
// exactly, in integers, and divided once, so one plain render comes out byte for byte.

#include "FrameSettings.h"

#include <cstdint>
#include <vector>

class FrameComposer {
public:
    // Composes nothing for plain settings (one render at the output size).
    explicit FrameComposer(const FrameSettings& settings);

    // Forgets the renders added so far.
    void Begin();
    // A render of the render size, RGB, bottom row first as GL reads it.
    void Add(const std::vector<uint8_t>& render);
    // The mean of the renders added since Begin, at the output size, rounded to the nearest level.
    const std::vector<uint8_t>& Resolve();

private:
    const int width;
    const int height;
    const int factor;
    int renders = 0;
    std::vector<uint32_t> sums;  // per output channel; at most 255 x 16 x 64, far inside 32 bits
    std::vector<uint8_t> frame;
};
