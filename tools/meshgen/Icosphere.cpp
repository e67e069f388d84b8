#include "meshgen/Icosphere.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

uint32_t Midpoint(Icosphere& sphere, std::map<std::pair<uint32_t, uint32_t>, uint32_t>& cache, uint32_t a, uint32_t b) {
    const auto key = std::minmax(a, b);
    if (const auto found = cache.find(key); found != cache.end())
        return found->second;
    const uint32_t index = static_cast<uint32_t>(sphere.points.size());
    sphere.points.push_back(Normalize(sphere.points[a] + sphere.points[b]));
    cache.emplace(key, index);
    return index;
}

}  // namespace

Icosphere MakeIcosphere(int subdivisions) {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    Icosphere sphere;
    for (const Vector3& p : {Vector3{-1, t, 0}, Vector3{1, t, 0}, Vector3{-1, -t, 0}, Vector3{1, -t, 0},
                             Vector3{0, -1, t}, Vector3{0, 1, t}, Vector3{0, -1, -t}, Vector3{0, 1, -t},
                             Vector3{t, 0, -1}, Vector3{t, 0, 1}, Vector3{-t, 0, -1}, Vector3{-t, 0, 1}})
        sphere.points.push_back(Normalize(p));
    sphere.faces = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                    {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
                    {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> cache;
        std::vector<std::array<uint32_t, 3>> finer;
        for (const auto& [a, b, c] : sphere.faces) {
            const uint32_t ab = Midpoint(sphere, cache, a, b);
            const uint32_t bc = Midpoint(sphere, cache, b, c);
            const uint32_t ca = Midpoint(sphere, cache, c, a);
            finer.insert(finer.end(), {{a, ab, ca}, {b, bc, ab}, {c, ca, bc}, {ab, bc, ca}});
        }
        sphere.faces = std::move(finer);
    }
    return sphere;
}
