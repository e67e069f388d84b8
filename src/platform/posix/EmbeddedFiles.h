#pragma once
// The program's resources on Linux: PNG files drawn at build time by tools/resources and linked
// in as byte arrays, where Windows links them in from player/QuarnEngine.rc.

#include <cstddef>
#include <cstdint>

extern const uint8_t kMissingTexturePng[];
extern const size_t kMissingTexturePngSize;
extern const uint8_t kIcon16Png[];
extern const size_t kIcon16PngSize;
extern const uint8_t kIcon32Png[];
extern const size_t kIcon32PngSize;
extern const uint8_t kIcon48Png[];
extern const size_t kIcon48PngSize;
