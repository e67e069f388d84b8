#pragma once
// A 4 x 4 single-precision matrix, column-major: element (column c, row r) is float 4c + r,
// the layout glUniformMatrix4fv takes with transpose off. Transforms right-multiply, so in
// Rotate(Translate(identity, v), ...) the rotation acts on the vertices first. Angles are in degrees.

#include "math/Vector3.h"
#include "math/Vector4.h"

class Matrix4 {
public:
    // The identity.
    Matrix4();
    // `diagonal` on the diagonal, 0 elsewhere: Matrix4(0.0f) is the zero matrix.
    explicit Matrix4(float diagonal);
    Matrix4(const Vector4& column0, const Vector4& column1, const Vector4& column2, const Vector4& column3);

    float& At(int column, int row) { return elements[4 * column + row]; }
    float At(int column, int row) const { return elements[4 * column + row]; }
    Vector4 Column(int column) const;
    void SetColumn(int column, const Vector4& value);

    const float* data() const { return elements; }

    Matrix4 operator*(const Matrix4& other) const;
    Vector4 operator*(const Vector4& v) const;
    Matrix4 operator/(float divisor) const;
    bool operator==(const Matrix4& other) const = default;

private:
    float elements[16];
};

// m x T(v).
Matrix4 Translate(const Matrix4& m, const Vector3& v);
// m x R(angle, axis). The axis is normalised; a zero axis leaves m unchanged.
Matrix4 Rotate(const Matrix4& m, float angleDegrees, const Vector3& axis);
// m x S(v).
Matrix4 Scale(const Matrix4& m, const Vector3& v);
Matrix4 Perspective(float fovyDegrees, float aspect, float zNear, float zFar);
// Adjugate over determinant. A singular matrix is not detected: its inverse is non-finite.
Matrix4 Inverse(const Matrix4& m);
Matrix4 Transpose(const Matrix4& m);
