#pragma once

// Side limit of the image targets: the largest side of any generated picture (the credits, the
// 768 x 1024 crosses), so every one of them still decodes while the decoder's allocations, which
// grow with the side (16-bit channels, a doubling inflate buffer), stay a few tens of MiB.
inline constexpr int kFuzzMaxImageSide = 1024;
