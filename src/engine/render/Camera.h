#pragma once
// The view parameters; the renderer samples all but `origin` from sync tracks every frame.

#include "math/Matrix4.h"
#include "math/Vector3.h"

struct Camera {
    Vector3 origin{0.0f, 0.0f, -12.0f};
    float pitch = 0.0f;  // degrees about x
    float yaw = 0.0f;    // degrees about y
    float roll = 0.0f;   // degrees about z
    float xOffset = 0.0f;
    float yOffset = 0.0f;
    float distance = 12.0f;  // extra distance along -z, on top of `origin`
};

// Shifts the scene by the negated offsets, rolls, yaws and pitches it, then pushes it
// away along -z by the origin and the distance.
Matrix4 BuildViewMatrix(const Camera& camera);
