#include "resources/ProgramIcon.h"

#include "formats/DecodedImage.h"
#include "resources/Resources.h"

namespace {

constexpr int kIconSizes[] = {16, 32, 48};
constexpr int kIconCount = sizeof kIconSizes / sizeof kIconSizes[0];

}  // namespace

bool ApplyProgramIcon(platform::WindowHandle window) {
    DecodedImage decoded[kIconCount];
    platform::IconImage images[kIconCount];
    for (int i = 0; i < kIconCount; ++i) {
        const ResourceBlock block = FindProgramIcon(kIconSizes[i]);
        decoded[i] = DecodeImageMemory(block.bytes, block.size);
        if (!decoded[i])
            return false;
        images[i] = {decoded[i].width, decoded[i].height, decoded[i].pixels.get()};
    }
    return platform::SetWindowIcon(window, images, kIconCount);
}
