#pragma once
// A unit sphere made by subdividing an icosahedron: evenly spread vertices, no poles.

#include "math/Vector3.h"

#include <array>
#include <cstdint>
#include <vector>

struct Icosphere {
    std::vector<Vector3> points;                   // unit length
    std::vector<std::array<uint32_t, 3>> faces;    // counter-clockwise seen from outside
};

Icosphere MakeIcosphere(int subdivisions);
