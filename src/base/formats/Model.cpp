#include "formats/Model.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "io/WholeFile.h"
#include "log/ILogger.h"
#include "log/StartupObserver.h"

namespace {

constexpr size_t kHeaderBytes = 12;
// Several times the densest mesh the demo draws; a bigger file is refused unread.
constexpr size_t kMaxModelBytes = size_t{64} << 20;

template <typename T>
std::unique_ptr<T[]> CopyArray(const uint8_t* from, uint32_t count) {
    std::unique_ptr<T[]> array(new (std::nothrow) T[count]);
    if (array && count > 0)
        std::memcpy(array.get(), from, size_t{count} * sizeof(T));
    return array;
}

// GL draws the indices straight from the buffer: one past the last vertex would read
// beyond it on a driver without robust buffer access.
bool IndicesInRange(const uint32_t* indices, uint32_t count, uint32_t vertexCount) {
    return std::all_of(indices, indices + count, [vertexCount](uint32_t index) { return index < vertexCount; });
}

}  // namespace

// Every count is checked against the real size before anything is allocated, so a damaged
// header can neither trigger a huge allocation nor leave half-read arrays.
bool ParseModel(const uint8_t* bytes, size_t size, VertexLayout layout, Model& model) {
    uint32_t header[3];
    if (size < kHeaderBytes)
        return false;
    std::memcpy(header, bytes, sizeof header);
    const uint32_t floatsPerVertex = static_cast<uint32_t>(layout);
    const uint64_t floatBytes = uint64_t{header[0]} * sizeof(float);
    const uint64_t indexBytes = uint64_t{header[1]} * sizeof(uint32_t);
    if (kHeaderBytes + floatBytes + indexBytes > size || header[0] % floatsPerVertex != 0)
        return false;

    std::unique_ptr<float[]> vertices = CopyArray<float>(bytes + kHeaderBytes, header[0]);
    std::unique_ptr<uint32_t[]> indices = CopyArray<uint32_t>(bytes + kHeaderBytes + floatBytes, header[1]);
    if (!vertices || !indices || !IndicesInRange(indices.get(), header[1], header[0] / floatsPerVertex))
        return false;

    model.floatCount = header[0];
    model.indexCount = header[1];
    model.reserved = header[2];
    model.vertices = std::move(vertices);
    model.indices = std::move(indices);
    return true;
}

void LoadModel(Model& model, const char* path, VertexLayout layout) {
    const StartupScope load(StartupEvent::kMesh, path ? path : "");
    model = Model{};
    const WholeFile file = ReadWholeFile(path, kMaxModelBytes);
    if (file.Ok() && ParseModel(file.bytes.data(), file.bytes.size(), layout, model))
        return;
    gLogger->WritePair("ERROR: Failed To Load Model: ", path ? path : "");
    gLogger->Error("Nullifying Model Data...");
}
