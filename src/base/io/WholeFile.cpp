#include "io/WholeFile.h"

#include "io/ReadOnlyFile.h"

namespace {

WholeFile Failure(WholeFileStatus status) {
    WholeFile file;
    file.status = status;
    return file;
}

}  // namespace

WholeFile ReadWholeFile(const char* path, size_t maxBytes) {
    ReadOnlyFile file(path);
    if (!file.IsOpen())
        return Failure(WholeFileStatus::kMissing);
    ReadOnlyFile::Kind kind;
    if (!file.Inspect(kind))
        return Failure(WholeFileStatus::kReadError);
    if (!kind.regular)
        return Failure(WholeFileStatus::kNotRegularFile);
    if (kind.size > maxBytes)
        return Failure(WholeFileStatus::kTooLarge);

    WholeFile whole;
    whole.bytes.resize(static_cast<size_t>(kind.size));
    if (!file.ReadExactly(whole.bytes.data(), whole.bytes.size()))
        return Failure(WholeFileStatus::kReadError);
    whole.stamp = kind.stamp;
    whole.status = WholeFileStatus::kOk;
    return whole;
}
