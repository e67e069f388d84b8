#include "render/Model.h"

#include <cstdio>
#include <new>

#include "log/ILogger.h"
#include "log/StartupObserver.h"

namespace {

constexpr uint64_t kHeaderBytes = 12;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// -1 when the size cannot be determined (not a regular file, seek failure).
int64_t FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

bool ReadExactly(std::FILE* file, void* into, uint64_t bytes) {
    return bytes == 0 || std::fread(into, 1, bytes, file) == bytes;
}

// Every count is checked against the file's real size before anything is allocated, so a
// damaged header can neither trigger a huge allocation nor leave half-read arrays.
bool ReadModel(Model& model, std::FILE* file) {
    const int64_t size = FileSize(file);
    uint32_t header[3];
    if (size < static_cast<int64_t>(kHeaderBytes) || !ReadExactly(file, header, sizeof header))
        return false;
    const uint64_t floatBytes = uint64_t{header[0]} * sizeof(float);
    const uint64_t indexBytes = uint64_t{header[1]} * sizeof(uint32_t);
    if (kHeaderBytes + floatBytes + indexBytes > static_cast<uint64_t>(size))
        return false;

    std::unique_ptr<float[]> vertices(new (std::nothrow) float[header[0]]);
    std::unique_ptr<uint32_t[]> indices(new (std::nothrow) uint32_t[header[1]]);
    if (!vertices || !indices)
        return false;
    if (!ReadExactly(file, vertices.get(), floatBytes) || !ReadExactly(file, indices.get(), indexBytes))
        return false;

    model.floatCount = header[0];
    model.indexCount = header[1];
    model.reserved = header[2];
    model.vertices = std::move(vertices);
    model.indices = std::move(indices);
    return true;
}

}  // namespace

void LoadModel(Model& model, const char* path) {
    const StartupScope load(StartupEvent::kMesh, path ? path : "");
    model = Model{};
    FilePtr file(path ? std::fopen(path, "rb") : nullptr);
    if (file && ReadModel(model, file.get()))
        return;
    gLogger->WritePair("ERROR: Failed To Load Model: ", path ? path : "");
    gLogger->Error("Nullifying Model Data...");
}
