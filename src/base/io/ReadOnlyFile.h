#pragma once
// A file opened for reading without ever blocking: a FIFO or a device opens at once, and is then
// told apart from a regular file by the opened handle itself, so nothing can be swapped in
// between the check and the read. One implementation per system (posix/, win32/).

#include <cstddef>
#include <cstdint>

// What tells one state of a file from another without reading it: which file the path led to
// (its device and number), when its data and its metadata last changed, and its size. Two
// changes within the clock's step of the file system can leave it as it was; only the bytes
// tell those apart.
struct ChangeStamp {
    uint64_t device = 0;
    uint64_t file = 0;
    uint64_t modified = 0;  // in the system's own units
    uint64_t changed = 0;
    uint64_t size = 0;

    bool operator==(const ChangeStamp&) const = default;
};

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const char* path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return handle_ != kClosed; }

    struct Kind {
        bool regular = false;  // false for a directory, FIFO, socket or device
        uint64_t size = 0;     // meaningful for a regular file only
        ChangeStamp stamp;
    };
    // False when the system could not say.
    bool Inspect(Kind& kind) const;
    // Reads exactly `size` bytes; false on a failure or an early end.
    bool ReadExactly(uint8_t* into, size_t size);

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;
};
