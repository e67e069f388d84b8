#include "math/Matrix4.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectNear(const Matrix4& actual, const Matrix4& expected, float tolerance = 1e-5f) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual.At(c, r), expected.At(c, r), tolerance) << "column " << c << ", row " << r;
}

void ExpectNear(const Vector4& actual, const Vector4& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

// A general matrix with every element distinct and a determinant far from 0.
Matrix4 General() {
    return Matrix4(Vector4(2, 1, 0, 3), Vector4(-1, 4, 2, 0), Vector4(0, 1, 5, -2), Vector4(1, -3, 2, 6));
}

TEST(Matrix4, ConstructionAndColumnMajorLayout) {
    const Matrix4 identity;
    const Matrix4 zero(0.0f);
    const Matrix4 diagonal(3.0f);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(identity.At(c, r), c == r ? 1.0f : 0.0f);
            EXPECT_EQ(zero.At(c, r), 0.0f);
            EXPECT_EQ(diagonal.At(c, r), c == r ? 3.0f : 0.0f);
        }

    const Matrix4 m = General();
    const float expected[16] = {2, 1, 0, 3, -1, 4, 2, 0, 0, 1, 5, -2, 1, -3, 2, 6};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.data()[i], expected[i]) << i;
    EXPECT_EQ(m.At(1, 2), 2.0f);  // float 4c + r = 6
    EXPECT_EQ(m.Column(3), Vector4(1, -3, 2, 6));

    Matrix4 copy = m;
    copy.At(0, 0) = 9.0f;
    EXPECT_EQ(m.At(0, 0), 2.0f);
}

TEST(Matrix4, ProductsAndDivision) {
    const Matrix4 a = General();
    const Matrix4 b(Vector4(1, 0, 0, 0), Vector4(0, 2, 0, 0), Vector4(0, 0, 1, 0), Vector4(5, 0, 0, 1));
    // a x b: column 1 of a doubled, column 3 = 5 a0 + a3.
    const Matrix4 ab = a * b;
    EXPECT_EQ(ab.Column(0), Vector4(2, 1, 0, 3));
    EXPECT_EQ(ab.Column(1), Vector4(-2, 8, 4, 0));
    EXPECT_EQ(ab.Column(2), Vector4(0, 1, 5, -2));
    EXPECT_EQ(ab.Column(3), Vector4(11, 2, 2, 21));
    EXPECT_NE(b * a, ab);

    EXPECT_EQ(a * Vector4(1, 1, 1, 1), Vector4(2, 3, 9, 7));
    EXPECT_EQ((a / 2.0f).Column(1), Vector4(-0.5f, 2.0f, 1.0f, 0.0f));
}

TEST(Matrix4, TranslateAndScaleRightMultiply) {
    const Matrix4 t = Translate(Matrix4(), Vector3(1, 2, 3));
    EXPECT_EQ(t.data()[12], 1.0f);
    EXPECT_EQ(t.data()[13], 2.0f);
    EXPECT_EQ(t.data()[14], 3.0f);

    const Matrix4 m = General();
    ExpectNear(Translate(m, Vector3(1, 2, 3)), m * t);
    const Matrix4 s = Scale(m, Vector3(2, 3, 4));
    EXPECT_EQ(s.Column(0), m.Column(0) * 2.0f);
    EXPECT_EQ(s.Column(1), m.Column(1) * 3.0f);
    EXPECT_EQ(s.Column(2), m.Column(2) * 4.0f);
    EXPECT_EQ(s.Column(3), m.Column(3));

    // Scale after translate scales the mesh, not the translation.
    const Matrix4 ts = Scale(t, Vector3(2, 2, 2));
    ExpectNear(ts * Vector4(1, 0, 0, 1), Vector4(3, 2, 3, 1));
}

TEST(Matrix4, RotateFollowsTheRightHandRule) {
    const Matrix4 z90 = Rotate(Matrix4(), 90.0f, Vector3(0, 0, 1));
    ExpectNear(z90 * Vector4(1, 0, 0, 0), Vector4(0, 1, 0, 0));
    ExpectNear(z90 * Vector4(0, 1, 0, 0), Vector4(-1, 0, 0, 0));
    ExpectNear(Rotate(Matrix4(), 90.0f, Vector3(1, 0, 0)) * Vector4(0, 1, 0, 0), Vector4(0, 0, 1, 0));
    ExpectNear(Rotate(Matrix4(), 90.0f, Vector3(0, 1, 0)) * Vector4(0, 0, 1, 0), Vector4(1, 0, 0, 0));
    // A third of a turn about the diagonal cycles the axes.
    ExpectNear(Rotate(Matrix4(), 120.0f, Vector3(1, 1, 1)) * Vector4(1, 0, 0, 1), Vector4(0, 1, 0, 1));

    EXPECT_EQ(Rotate(Matrix4(), 37.0f, Vector3(0, 0, 2)), Rotate(Matrix4(), 37.0f, Vector3(0, 0, 1)));
    ExpectNear(Rotate(Matrix4(), 33.0f, Vector3(3, -4, 12)), Rotate(Matrix4(), 33.0f, Vector3(3, -4, 12) / 13.0f));
    EXPECT_EQ(Rotate(General(), 45.0f, Vector3(0, 0, 0)), General());
}

TEST(Matrix4, RotateActsBeforeAnEarlierTranslate) {
    const Matrix4 m = Rotate(Translate(Matrix4(), Vector3(4, 5, 6)), 90.0f, Vector3(0, 0, 1));
    ExpectNear(m * Vector4(0, 0, 0, 1), Vector4(4, 5, 6, 1));
    ExpectNear(m * Vector4(1, 0, 0, 1), Vector4(4, 6, 6, 1));
    ExpectNear(m.Column(3), Vector4(4, 5, 6, 1), 0.0f);
}

TEST(Matrix4, PerspectiveMatchesTheRendererProjection) {
    const Matrix4 p = Perspective(60.0f, 16.0f / 9.0f, 1.0f, 1000.0f);
    EXPECT_NEAR(p.At(1, 1), 1.7320508f, 1e-6f);
    EXPECT_NEAR(p.At(0, 0), 1.7320508f * 9.0f / 16.0f, 1e-6f);
    EXPECT_NEAR(p.At(2, 2), -1001.0f / 999.0f, 1e-6f);
    EXPECT_NEAR(p.At(3, 2), -2000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(p.At(2, 3), -1.0f);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            const bool used = (c == r && c < 3) || (c == 2 && r == 3) || (c == 3 && r == 2);
            if (!used) {
                EXPECT_EQ(p.At(c, r), 0.0f) << c << ", " << r;
            }
        }
    // The near and far planes land on -1 and +1 in normalised depth.
    const Vector4 nearPoint = p * Vector4(0, 0, -1, 1);
    const Vector4 farPoint = p * Vector4(0, 0, -1000, 1);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, -1.0f, 1e-5f);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5f);
}

TEST(Matrix4, InverseUndoesTheMatrix) {
    const Matrix4 rigid = Rotate(Translate(Matrix4(), Vector3(3, -2, 7)), 35.0f, Vector3(1, 2, 3));
    ExpectNear(Inverse(rigid) * rigid, Matrix4());
    ExpectNear(rigid * Inverse(rigid), Matrix4());

    const Matrix4 general = General();
    ExpectNear(Inverse(general) * general, Matrix4());

    // Hand-computed: the inverse of scale (2, 4, 8) then translate (1, 2, 3).
    const Matrix4 st = Translate(Scale(Matrix4(), Vector3(2, 4, 8)), Vector3(1, 2, 3));
    EXPECT_EQ(Inverse(st), Matrix4(Vector4(0.5f, 0, 0, 0), Vector4(0, 0.25f, 0, 0), Vector4(0, 0, 0.125f, 0),
                                   Vector4(-1, -2, -3, 1)));

    EXPECT_FALSE(std::isfinite(Inverse(Matrix4(0.0f)).At(0, 0)));
}

TEST(Matrix4, TransposeAndNormalMatrix) {
    const Matrix4 m = General();
    const Matrix4 t = Transpose(m);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) EXPECT_EQ(t.At(c, r), m.At(r, c));
    EXPECT_EQ(Transpose(t), m);

    const Matrix4 rotation = Rotate(Matrix4(), 70.0f, Vector3(-1, 2, 0.5f));
    ExpectNear(Transpose(Inverse(rotation)), rotation);

    // Under a non-uniform scale the normal matrix keeps normals perpendicular to the surface.
    const Matrix4 model = Scale(rotation, Vector3(1, 4, 1));
    const Vector4 tangent = model * Vector4(1, -1, 0, 0);
    const Vector4 normal = Transpose(Inverse(model)) * Vector4(1, 1, 0, 0);
    EXPECT_NEAR(Dot(tangent.Xyz(), normal.Xyz()), 0.0f, 1e-5f);
}

}  // namespace
