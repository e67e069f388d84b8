#pragma once
// The one process-wide random generator. Its sequence is part of the demo's look (particle
// positions, greeting order), so it is our own and never the C library's, whose rand differs
// between platforms.

#include <cstdint>

namespace quarn {

inline constexpr int kRandMax = 0x7FFF;

// Sets the generator's 32-bit state to `seed`.
void srand(uint32_t seed);
// Advances the state (state x 214013 + 2531011, modulo 2^32) and returns bits 16 to 30 of it:
// 0 to kRandMax.
int rand();

}  // namespace quarn
