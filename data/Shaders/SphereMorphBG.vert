#version 330 core
// Textured backdrop behind the sphere morph.
// Reads "ProjectionMatrix", "ViewMatrix" and "ModelMatrix".

layout(location = 0) in vec3 Position;
layout(location = 1) in vec2 TexCoordIn;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform mat4 ModelMatrix;

out vec2 TexCoord;

void main()
{
    TexCoord = TexCoordIn;
    gl_Position = ProjectionMatrix * ViewMatrix * ModelMatrix * vec4(Position, 1.0);
}
