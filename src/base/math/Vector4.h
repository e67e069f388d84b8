#pragma once
// Four single-precision floats: matrix columns and homogeneous points.

#include "math/Vector3.h"

struct Vector4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector4() = default;
    constexpr Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    constexpr Vector4(const Vector3& v, float w) : x(v.x), y(v.y), z(v.z), w(w) {}

    constexpr Vector3 Xyz() const { return {x, y, z}; }

    constexpr bool operator==(const Vector4&) const = default;
};

constexpr Vector4 operator+(const Vector4& a, const Vector4& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
constexpr Vector4 operator-(const Vector4& a, const Vector4& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}
constexpr Vector4 operator*(const Vector4& v, float s) { return {v.x * s, v.y * s, v.z * s, v.w * s}; }
constexpr Vector4 operator*(float s, const Vector4& v) { return v * s; }

constexpr float Dot(const Vector4& a, const Vector4& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
