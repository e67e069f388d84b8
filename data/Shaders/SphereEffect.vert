#version 330 core
// Lit, reflective meshes (the greetings logo, the planet, the cube tunnel's gems): world space.
// Reads "ProjectionMatrix", "ViewMatrix", "ModelMatrix", "NormalMatrix" and "LightPos" (world).

layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;
uniform mat4 NormalMatrix;  // transpose of the inverse of ModelMatrix: scaled meshes stay lit right
uniform vec3 LightPos;

// All in world space, unnormalised: the fragment shaders normalise them, and cube maps are
// looked up with reflect(-normalize(ToEye), normalize(WorldNormal)).
out vec3 WorldPosition;
out vec3 WorldNormal;
out vec3 ToLight;
out vec3 ToEye;
// How much the model matrix enlarges the mesh (its first column's length).
out float ModelScale;

void main()
{
    vec4 world = ModelMatrix * vec4(Position, 1.0);
    WorldPosition = world.xyz;
    WorldNormal = mat3(NormalMatrix) * Normal;
    ToLight = LightPos - world.xyz;
    // The view matrix is rigid, so the eye sits at -R^T t.
    vec3 eye = -(transpose(mat3(ViewMatrix)) * ViewMatrix[3].xyz);
    ToEye = eye - world.xyz;
    ModelScale = length(ModelMatrix[0].xyz);
    gl_Position = ProjectionMatrix * ViewMatrix * world;
}
