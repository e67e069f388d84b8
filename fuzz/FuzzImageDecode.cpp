// A PNG or JPEG of any bytes through the texture decoder, with a side limit as the renderer
// applies it. The limit is lower than the player's so that every accepted picture stays far
// below the memory bound the fuzzer enforces; the refusal is the same code either way.
#include <cstddef>
#include <cstdint>

#include "FuzzLimits.h"
#include "formats/DecodedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodedImage image = DecodeImageMemory(data, size, kFuzzMaxImageSide);
    if (image) {
        // Every pixel of the picture it claims must be there.
        volatile uint8_t sink = image.pixels.get()[size_t{4} * image.width * image.height - 1];
        (void)sink;
    }
    return 0;
}
