// kernel32 resources on Linux: the same ids and types as player/QuarnEngine.rc, served from the
// byte arrays the build links in.
#include "platform/Platform.h"

#include "posix/EmbeddedFiles.h"

#include <cstring>

namespace platform {

namespace {

constexpr int kMissingTextureId = 106;
constexpr int kIconGroupId = 101;

}  // namespace

ResourceBlock FindResource(int id, const char* type) {
    if (type && std::strcmp(type, "PNG") == 0 && id == kMissingTextureId)
        return {kMissingTexturePng, kMissingTexturePngSize};
    return {};
}

ResourceBlock FindIconImage(int groupId, int size) {
    if (groupId != kIconGroupId) return {};
    switch (size) {
    case 16: return {kIcon16Png, kIcon16PngSize};
    case 32: return {kIcon32Png, kIcon32PngSize};
    case 48: return {kIcon48Png, kIcon48PngSize};
    default: return {};
    }
}

}  // namespace platform
