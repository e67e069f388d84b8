#include "render/Camera.h"

Matrix4 BuildViewMatrix(const Camera& camera) {
    Matrix4 view = Translate(Matrix4(), camera.origin);
    view = Translate(view, Vector3(0.0f, 0.0f, -camera.distance));
    view = Rotate(view, camera.pitch, Vector3(1.0f, 0.0f, 0.0f));
    view = Rotate(view, camera.yaw, Vector3(0.0f, 1.0f, 0.0f));
    view = Rotate(view, camera.roll, Vector3(0.0f, 0.0f, 1.0f));
    return Translate(view, Vector3(-camera.xOffset, -camera.yOffset, 0.0f));
}
