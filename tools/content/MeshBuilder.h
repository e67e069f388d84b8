#pragma once
// A mesh being built for a ".exm" file: interleaved vertex floats (6 per vertex: position and
// normal, or 8: position, normal and texture coordinate) and triangle indices.

#include "math/Vector3.h"

#include <cstdint>
#include <string>
#include <vector>

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

class MeshBuilder {
public:
    explicit MeshBuilder(int floatsPerVertex) : floatsPerVertex_(floatsPerVertex) {}

    uint32_t AddVertex(const Vector3& position, const Vector3& normal, TexCoord uv = {});
    // Counter-clockwise as seen from the side the mesh is meant to be looked at from.
    void AddTriangle(uint32_t a, uint32_t b, uint32_t c);
    // A flat-shaded triangle: its own three vertices with the face normal.
    void AddFacet(const Vector3& a, const Vector3& b, const Vector3& c);

    uint32_t VertexCount() const;
    Vector3 Position(uint32_t vertex) const;
    Vector3 Normal(uint32_t vertex) const;
    void SetNormal(uint32_t vertex, const Vector3& normal);

    // Recomputes every normal as the area-weighted mean of the faces around the vertex.
    void ComputeSmoothNormals();

    // Writes the file; false (after a message on stderr) when it cannot be written.
    bool WriteExm(const std::string& path) const;

private:
    int floatsPerVertex_;
    std::vector<float> floats_;
    std::vector<uint32_t> indices_;
};
