#include "math/Vector4.h"

#include <gtest/gtest.h>

namespace {

TEST(Vector3, ArithmeticCrossAndNormalize) {
    const Vector3 a(1, 2, 3);
    const Vector3 b(-4, 0.5f, 2);
    EXPECT_EQ(a + b, Vector3(-3, 2.5f, 5));
    EXPECT_EQ(a - b, Vector3(5, 1.5f, 1));
    EXPECT_EQ(2.0f * a, Vector3(2, 4, 6));
    EXPECT_EQ(Dot(a, b), 3.0f);
    EXPECT_EQ(Cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(0, 0, 1));
    const Vector3 c = Cross(a, b);
    EXPECT_EQ(Dot(c, a), 0.0f);
    EXPECT_EQ(Dot(c, b), 0.0f);

    EXPECT_FLOAT_EQ(Length(Vector3(2, 3, 6)), 7.0f);
    const Vector3 n = Normalize(Vector3(2, 3, 6));
    EXPECT_FLOAT_EQ(n.x, 2.0f / 7.0f);
    EXPECT_FLOAT_EQ(Length(n), 1.0f);
    EXPECT_EQ(Normalize(Vector3()), Vector3());
}

TEST(Vector4, BuiltFromVector3) {
    const Vector4 v(Vector3(1, 2, 3), 1.0f);
    EXPECT_EQ(v, Vector4(1, 2, 3, 1));
    EXPECT_EQ(v.Xyz(), Vector3(1, 2, 3));
    EXPECT_EQ(v * 2.0f - v, v);
    EXPECT_EQ(Dot(v, Vector4(1, 1, 1, 1)), 7.0f);
}

}  // namespace
