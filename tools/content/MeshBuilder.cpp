#include "content/MeshBuilder.h"

#include <cstdio>

uint32_t MeshBuilder::AddVertex(const Vector3& position, const Vector3& normal, TexCoord uv) {
    const uint32_t index = VertexCount();
    floats_.insert(floats_.end(), {position.x, position.y, position.z, normal.x, normal.y, normal.z});
    if (floatsPerVertex_ == 8)
        floats_.insert(floats_.end(), {uv.u, uv.v});
    return index;
}

void MeshBuilder::AddTriangle(uint32_t a, uint32_t b, uint32_t c) {
    indices_.insert(indices_.end(), {a, b, c});
}

void MeshBuilder::AddFacet(const Vector3& a, const Vector3& b, const Vector3& c) {
    const Vector3 normal = Normalize(Cross(b - a, c - a));
    AddTriangle(AddVertex(a, normal), AddVertex(b, normal), AddVertex(c, normal));
}

uint32_t MeshBuilder::VertexCount() const {
    return static_cast<uint32_t>(floats_.size() / floatsPerVertex_);
}

Vector3 MeshBuilder::Position(uint32_t vertex) const {
    const float* f = &floats_[static_cast<size_t>(vertex) * floatsPerVertex_];
    return {f[0], f[1], f[2]};
}

Vector3 MeshBuilder::Normal(uint32_t vertex) const {
    const float* f = &floats_[static_cast<size_t>(vertex) * floatsPerVertex_ + 3];
    return {f[0], f[1], f[2]};
}

void MeshBuilder::SetNormal(uint32_t vertex, const Vector3& normal) {
    float* f = &floats_[static_cast<size_t>(vertex) * floatsPerVertex_ + 3];
    f[0] = normal.x, f[1] = normal.y, f[2] = normal.z;
}

void MeshBuilder::ComputeSmoothNormals() {
    std::vector<Vector3> sums(VertexCount());
    for (size_t i = 0; i + 2 < indices_.size(); i += 3) {
        const uint32_t a = indices_[i], b = indices_[i + 1], c = indices_[i + 2];
        // The cross product's length is twice the area: larger faces weigh more.
        const Vector3 face = Cross(Position(b) - Position(a), Position(c) - Position(a));
        for (uint32_t v : {a, b, c})
            sums[v] = sums[v] + face;
    }
    for (uint32_t v = 0; v < VertexCount(); ++v)
        SetNormal(v, Normalize(sums[v]));
}

bool MeshBuilder::WriteExm(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return false;
    }
    // The reserved word holds the layout; the player never reads it.
    const uint32_t header[3] = {static_cast<uint32_t>(floats_.size()), static_cast<uint32_t>(indices_.size()),
                                static_cast<uint32_t>(floatsPerVertex_)};
    bool ok = std::fwrite(header, sizeof header, 1, file) == 1;
    ok = ok && std::fwrite(floats_.data(), sizeof(float), floats_.size(), file) == floats_.size();
    ok = ok && std::fwrite(indices_.data(), sizeof(uint32_t), indices_.size(), file) == indices_.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok)
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
    return ok;
}
