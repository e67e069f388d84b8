#include "math/Random.h"

namespace quarn {

namespace {
uint32_t gRandomState = 0;
}  // namespace

void srand(uint32_t seed) { gRandomState = seed; }

int rand() {
    // Unsigned arithmetic wraps modulo 2^32 by definition.
    gRandomState = gRandomState * 214013u + 2531011u;
    return static_cast<int>((gRandomState >> 16) & kRandMax);
}

}  // namespace quarn
