#pragma once
// The window classes and windows a backend keeps for the platform's handles: classes by name,
// windows by an id that is never reused within a run. Each backend's records say what it needs
// of a class and of a window.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

template <typename ClassRecord, typename WindowRecord>
struct WindowTable {
    const ClassRecord* FindClass(const char16_t* name) const {
        if (!name) return nullptr;
        for (const ClassRecord& record : classes)
            if (record.name == name) return &record;
        return nullptr;
    }

    std::vector<ClassRecord> classes;
    std::vector<std::unique_ptr<WindowRecord>> windows;
    uint32_t nextWindowId = 1;
};

}  // namespace platform
