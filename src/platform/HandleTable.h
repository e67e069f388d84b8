#pragma once
// The native objects behind a backend's handles. The platform's handles are small ids, never
// reused within a run, so a stale handle simply finds nothing.

#include <cstdint>
#include <vector>

namespace platform {

template <typename Handle, typename Native>
class HandleTable {
public:
    Handle Add(const Native& native) {
        const Handle handle{next_++};
        records_.push_back({handle, native});
        return handle;
    }
    Native* Find(Handle handle) {
        for (Record& record : records_)
            if (record.handle == handle) return &record.native;
        return nullptr;
    }
    void Remove(Handle handle) {
        std::erase_if(records_, [handle](const Record& record) { return record.handle == handle; });
    }

private:
    struct Record {
        Handle handle;
        Native native;
    };
    std::vector<Record> records_;
    uint32_t next_ = 1;
};

}  // namespace platform
