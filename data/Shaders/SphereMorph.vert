#version 330 core
// Morphing sphere, spiky ball and shell: positions and normals to view space for lighting.
// Reads "ProjectionMatrix", "ViewMatrix", "ModelMatrix" and "LightPos" (world space).

layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;
uniform vec3 LightPos;

out vec3 ViewPosition;
out vec3 ViewNormal;
out vec3 ViewLight;

void main()
{
    mat4 modelView = ViewMatrix * ModelMatrix;
    vec4 viewPosition = modelView * vec4(Position, 1.0);
    ViewPosition = viewPosition.xyz;
    // The model and view matrices are rigid here, so their upper 3x3 carries normals; the
    // spiky ball's normals arrive three times their length, hence the fragment normalises.
    ViewNormal = mat3(modelView) * Normal;
    ViewLight = (ViewMatrix * vec4(LightPos, 1.0)).xyz;
    gl_Position = ProjectionMatrix * viewPosition;
}
