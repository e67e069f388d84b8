#version 330 core
// Tube cylinders: world-space surface, light and eye vectors and the texture coordinate.
// Reads "ProjectionMatrix", "ViewMatrix", "ModelMatrix", "NormalMatrix" and "LightPos" (world).

layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;
layout(location = 2) in vec2 TextureCoordinate;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;
uniform mat4 NormalMatrix;
uniform vec3 LightPos;

out vec3 WorldNormal;
out vec3 ToLight;
out vec3 ToEye;
out vec2 SurfaceCoord;

void main()
{
    vec4 world = ModelMatrix * vec4(Position, 1.0);
    WorldNormal = mat3(NormalMatrix) * Normal;
    ToLight = LightPos - world.xyz;
    // The view matrix is rigid, so the eye sits at -R^T t.
    vec3 eye = -(transpose(mat3(ViewMatrix)) * ViewMatrix[3].xyz);
    ToEye = eye - world.xyz;
    SurfaceCoord = TextureCoordinate;
    gl_Position = ProjectionMatrix * ViewMatrix * world;
}
