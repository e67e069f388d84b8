#include "formats/StbImage.h"

#include <cstdint>
#include <cstdlib>

namespace {

thread_local size_t allocationLimit = SIZE_MAX;

void* LimitedMalloc(size_t bytes) {
    return bytes <= allocationLimit ? std::malloc(bytes) : nullptr;
}

void* LimitedRealloc(void* block, size_t bytes) {
    return bytes <= allocationLimit ? std::realloc(block, bytes) : nullptr;
}

}  // namespace

StbAllocationLimit::StbAllocationLimit(size_t bytes) : previous(allocationLimit) {
    allocationLimit = bytes;
}

StbAllocationLimit::~StbAllocationLimit() {
    allocationLimit = previous;
}

// The limit lives in this object file with the decoder, so that linking DecodedImage always brings
// in this build of stb_image: programs that also link the system's libstb still decode through it.
#define STBI_MALLOC(bytes) LimitedMalloc(bytes)
#define STBI_REALLOC(block, bytes) LimitedRealloc(block, bytes)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
