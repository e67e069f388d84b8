#pragma once
// Images whose every pixel says where it came from (R = x, G = y, B = x >> 8, A = y >> 8), so
// that a cube face cut from a cross of them can be traced back to its cell.

#include <cstdint>
#include <vector>

// RGBA bytes, top row first.
std::vector<uint8_t> CoordinateImage(int width, int height);

// Expects the four corners of cube face `faceIndex` (RGBA, `width` x `height`, cut from a
// coordinate cross) to come from the face's cell of the cross, -Z turned by 180 degrees.
void ExpectCubeFaceCorners(const std::vector<uint8_t>& face, int width, int height, int faceIndex);
