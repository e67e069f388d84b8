#include <gtest/gtest.h>

#include "math/Matrix4.h"
#include "math/Vector4.h"
#include "render/Camera.h"

namespace {

void ExpectPoint(const Matrix4& view, Vector3 point, Vector3 expected) {
    const Vector4 moved = view * Vector4(point.x, point.y, point.z, 1.0f);
    EXPECT_NEAR(moved.x, expected.x, 1e-4f);
    EXPECT_NEAR(moved.y, expected.y, 1e-4f);
    EXPECT_NEAR(moved.z, expected.z, 1e-4f);
    EXPECT_NEAR(moved.w, 1.0f, 1e-6f);
}

TEST(CameraTest, InitialCameraPlacesTheScene24UnitsAhead) {
    const Matrix4 view = BuildViewMatrix(Camera{});
    Matrix4 expected;
    expected.At(3, 2) = -24.0f;
    EXPECT_EQ(view, expected);
}

TEST(CameraTest, AllTracksZeroIsAPureTranslationByTheOrigin) {
    Camera camera;
    camera.distance = 0.0f;
    Matrix4 expected;
    expected.At(3, 2) = -12.0f;
    EXPECT_EQ(BuildViewMatrix(camera), expected);
}

TEST(CameraTest, OffsetsAreUndoneBeforeTheRotations) {
    Camera camera;
    camera.xOffset = 3.0f;
    camera.yOffset = -2.0f;
    camera.yaw = 90.0f;
    // The offset point lands on the axis, where the yaw cannot move it.
    ExpectPoint(BuildViewMatrix(camera), {3.0f, -2.0f, 0.0f}, {0.0f, 0.0f, -24.0f});
    // Yaw 90 turns +x towards -z.
    ExpectPoint(BuildViewMatrix(camera), {4.0f, -2.0f, 0.0f}, {0.0f, 0.0f, -25.0f});
}

TEST(CameraTest, RollActsFirstThenYawThenPitch) {
    Camera camera;
    camera.distance = 0.0f;
    camera.pitch = 90.0f;
    camera.yaw = 90.0f;
    camera.roll = 90.0f;
    // Roll takes +x to +y; yaw leaves y alone; pitch takes +y to +z.
    ExpectPoint(BuildViewMatrix(camera), {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -11.0f});
    // Roll takes +y to -x; yaw takes -x to +z; pitch takes +z to -y.
    ExpectPoint(BuildViewMatrix(camera), {0.0f, 1.0f, 0.0f}, {0.0f, -1.0f, -12.0f});
}

}  // namespace
