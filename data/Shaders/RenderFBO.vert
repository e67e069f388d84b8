#version 330 core
// Full-screen quad of the bloom passes: clip-space corners in, texture coordinates out.
// Reads no uniforms.

layout(location = 0) in vec2 Position;

out vec2 TexCoord;

void main()
{
    TexCoord = Position * 0.5 + 0.5;
    gl_Position = vec4(Position, 0.0, 1.0);
}
