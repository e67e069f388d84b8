#include "resources/Resources.h"

ResourceBlock FindProgramResource(const char* type, int id) {
    return platform::FindResource(id, type);
}

ResourceBlock FindProgramIcon(int size) {
    return platform::FindIconImage(kIconResourceId, size);
}
