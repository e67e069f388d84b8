#include "resources/Resources.h"

#include <cstring>

#include "resources/EmbeddedFiles.h"

ResourceBlock FindProgramResource(const char* type, int id) {
    if (type && std::strcmp(type, kPngResourceType) == 0 && id == kMissingTextureResourceId)
        return {kMissingTexturePng, kMissingTexturePngSize};
    return {};
}

ResourceBlock FindProgramIcon(int size) {
    switch (size) {
    case 16:
        return {kIcon16Png, kIcon16PngSize};
    case 32:
        return {kIcon32Png, kIcon32PngSize};
    case 48:
        return {kIcon48Png, kIcon48PngSize};
    default:
        return {};
    }
}
