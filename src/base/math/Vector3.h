#pragma once
// Three single-precision floats: positions, directions, rotation axes and scales.

#include <cmath>

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    constexpr bool operator==(const Vector3&) const = default;
};

constexpr Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vector3 operator-(const Vector3& v) { return {-v.x, -v.y, -v.z}; }
constexpr Vector3 operator*(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
constexpr Vector3 operator*(float s, const Vector3& v) { return v * s; }
constexpr Vector3 operator/(const Vector3& v, float d) { return {v.x / d, v.y / d, v.z / d}; }

constexpr float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

constexpr Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float Length(const Vector3& v) { return std::sqrt(Dot(v, v)); }

// A zero vector has no direction; it comes back unchanged rather than as NaNs.
inline Vector3 Normalize(const Vector3& v) {
    float length = Length(v);
    return length > 0.0f ? v * (1.0f / length) : v;
}
