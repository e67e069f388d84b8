#include "render/PictureRect.h"

#include <cstdint>

namespace {

constexpr int64_t kAspectWidth = 16;
constexpr int64_t kAspectHeight = 9;

}  // namespace

// The picture's side rounded to the nearest pixel; 64-bit products, since sides go up to 16384.
PictureRect FitPicture(int windowWidth, int windowHeight) {
    if (windowWidth <= 0 || windowHeight <= 0) return {};
    PictureRect picture{0, 0, windowWidth, windowHeight};
    if (windowWidth * kAspectHeight > windowHeight * kAspectWidth)
        picture.width = static_cast<int>((windowHeight * kAspectWidth + kAspectHeight / 2) / kAspectHeight);
    else
        picture.height = static_cast<int>((windowWidth * kAspectHeight + kAspectWidth / 2) / kAspectWidth);
    if (picture.width < 1 || picture.height < 1) return {};
    picture.x = (windowWidth - picture.width) / 2;
    picture.y = (windowHeight - picture.height) / 2;
    return picture;
}
