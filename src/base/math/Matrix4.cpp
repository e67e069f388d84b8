#include "math/Matrix4.h"

#include <cmath>
#include <numbers>

namespace {

// m0·v.x + m1·v.y + m2·v.z: the upper 3 x 3 block of m applied to v, leaving column 3 out.
Vector4 CombineColumns(const Matrix4& m, const Vector3& v) {
    return m.Column(0) * v.x + m.Column(1) * v.y + m.Column(2) * v.z;
}

}  // namespace

Matrix4::Matrix4() : Matrix4(1.0f) {}

Matrix4::Matrix4(float diagonal) : elements{} {
    for (int i = 0; i < 4; ++i) At(i, i) = diagonal;
}

Matrix4::Matrix4(const Vector4& column0, const Vector4& column1, const Vector4& column2, const Vector4& column3) {
    SetColumn(0, column0);
    SetColumn(1, column1);
    SetColumn(2, column2);
    SetColumn(3, column3);
}

Vector4 Matrix4::Column(int column) const {
    const float* c = elements + 4 * column;
    return {c[0], c[1], c[2], c[3]};
}

void Matrix4::SetColumn(int column, const Vector4& value) {
    float* c = elements + 4 * column;
    c[0] = value.x;
    c[1] = value.y;
    c[2] = value.z;
    c[3] = value.w;
}

Vector4 Matrix4::operator*(const Vector4& v) const {
    return Column(0) * v.x + Column(1) * v.y + Column(2) * v.z + Column(3) * v.w;
}

Matrix4 Matrix4::operator*(const Matrix4& other) const {
    Matrix4 result;
    for (int c = 0; c < 4; ++c) result.SetColumn(c, *this * other.Column(c));
    return result;
}

Matrix4 Matrix4::operator/(float divisor) const {
    Matrix4 result;
    for (int i = 0; i < 16; ++i) result.elements[i] = elements[i] / divisor;
    return result;
}

Matrix4 Translate(const Matrix4& m, const Vector3& v) {
    Matrix4 result = m;
    result.SetColumn(3, CombineColumns(m, v) + m.Column(3));
    return result;
}

Matrix4 Rotate(const Matrix4& m, float angleDegrees, const Vector3& axis) {
    const float lengthSquared = Dot(axis, axis);
    if (lengthSquared == 0.0f) return m;

    // The degree factor is deliberately the single-precision value, so angles round the same everywhere.
    const float a = angleDegrees * 0.0174532930f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    const Vector3 n = axis * (1.0f / std::sqrt(lengthSquared));
    const Vector3 t = n * (1.0f - c);

    const Vector3 r0(c + t.x * n.x, t.x * n.y + s * n.z, t.x * n.z - s * n.y);
    const Vector3 r1(t.y * n.x - s * n.z, c + t.y * n.y, t.y * n.z + s * n.x);
    const Vector3 r2(t.z * n.x + s * n.y, t.z * n.y - s * n.x, c + t.z * n.z);

    return Matrix4(CombineColumns(m, r0), CombineColumns(m, r1), CombineColumns(m, r2), m.Column(3));
}

Matrix4 Scale(const Matrix4& m, const Vector3& v) {
    return Matrix4(m.Column(0) * v.x, m.Column(1) * v.y, m.Column(2) * v.z, m.Column(3));
}

Matrix4 Perspective(float fovyDegrees, float aspect, float zNear, float zFar) {
    const double n = zNear;
    const double f = zFar;
    const double range = std::tan(fovyDegrees / 2.0 * std::numbers::pi / 180.0) * n;
    const double left = -range * aspect;
    const double right = range * aspect;
    const double bottom = -range;
    const double top = range;

    Matrix4 result(0.0f);
    result.At(0, 0) = static_cast<float>(2.0 * n / (right - left));
    result.At(1, 1) = static_cast<float>(2.0 * n / (top - bottom));
    result.At(2, 2) = static_cast<float>(-(f + n) / (f - n));
    result.At(2, 3) = -1.0f;
    result.At(3, 2) = static_cast<float>(-(2.0 * f * n) / (f - n));
    return result;
}

Matrix4 Inverse(const Matrix4& m) {
    // a[r][c] in the usual row, column reading; the 2 x 2 sub-determinants of rows 0-1 (s)
    // and rows 2-3 (k) are shared between the sixteen cofactors.
    float a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r][c] = m.At(c, r);

    const float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];

    const float k0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    const float k1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const float k2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const float k3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const float k4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const float k5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];

    // adj[r][c]: the adjugate, i.e. the transposed cofactor matrix.
    const float adj[4][4] = {
        {a[1][1] * k5 - a[1][2] * k4 + a[1][3] * k3, -a[0][1] * k5 + a[0][2] * k4 - a[0][3] * k3,
         a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3, -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3},
        {-a[1][0] * k5 + a[1][2] * k2 - a[1][3] * k1, a[0][0] * k5 - a[0][2] * k2 + a[0][3] * k1,
         -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1, a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1},
        {a[1][0] * k4 - a[1][1] * k2 + a[1][3] * k0, -a[0][0] * k4 + a[0][1] * k2 - a[0][3] * k0,
         a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0, -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0},
        {-a[1][0] * k3 + a[1][1] * k1 - a[1][2] * k0, a[0][0] * k3 - a[0][1] * k1 + a[0][2] * k0,
         -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0, a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0},
    };

    // Column 0 of m against row 0 of the adjugate.
    const float det = a[0][0] * adj[0][0] + a[1][0] * adj[0][1] + a[2][0] * adj[0][2] + a[3][0] * adj[0][3];

    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) result.At(c, r) = adj[r][c] / det;
    return result;
}

Matrix4 Transpose(const Matrix4& m) {
    Matrix4 result;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) result.At(c, r) = m.At(r, c);
    return result;
}
