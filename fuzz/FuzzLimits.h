#pragma once

// Side limit of the image targets: a 2048 x 2048 RGBA picture is 16 MiB, so decoding never
// nears the fuzzer's 512 MB bound, while the generated crosses and textures still decode.
inline constexpr int kFuzzMaxImageSide = 2048;
