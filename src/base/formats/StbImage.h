#pragma once
// stb_image, compiled into this library rather than taken from the system's shared build, so that
// every allocation the decoder makes passes through a limit of ours.

#include <cstddef>

// While one lives, each single allocation stb_image makes on this thread may be at most `bytes`;
// a larger one fails, and the decoder gives the picture up as it does when memory runs out.
// Without one, the decoder allocates freely.
class StbAllocationLimit {
public:
    explicit StbAllocationLimit(size_t bytes);
    ~StbAllocationLimit();
    StbAllocationLimit(const StbAllocationLimit&) = delete;
    StbAllocationLimit& operator=(const StbAllocationLimit&) = delete;

private:
    size_t previous;
};
