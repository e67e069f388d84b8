#pragma once
// Every data file the player reads is read whole, once, into memory. Only regular files are
// read, and only up to a limit the caller knows to be generous for its kind: a directory, FIFO
// or device in a data file's place is refused before a read could block or never end.

#include "io/ReadOnlyFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class WholeFileStatus {
    kOk,
    kMissing,         // nothing at the path, or it could not be opened
    kNotRegularFile,  // a directory, FIFO, socket or device
    kTooLarge,        // bigger than the caller's limit
    kReadError,       // the read failed or the file shrank while it was read
};

struct WholeFile {
    WholeFileStatus status = WholeFileStatus::kMissing;
    std::vector<uint8_t> bytes;  // empty unless the status is kOk
    ChangeStamp stamp;           // the file's as it was opened, when the status is kOk

    bool Ok() const { return status == WholeFileStatus::kOk; }
};

WholeFile ReadWholeFile(const char* path, size_t maxBytes);
