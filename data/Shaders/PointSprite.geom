#version 330 core
// Expands each point into a screen-aligned textured quad, shared by every sprite program.
// Reads no uniforms: the vertex shader gives the clip-space centre, SpriteExtent and SpriteColor.

// Contract with the vertex shaders: gl_Position is the clip-space centre; SpriteExtent is
// the quad's half size in clip units (for a camera-facing sprite of view-space half size s:
// s * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1])); SpriteColor tints the texture.
// A negative extent mirrors the texture on that axis (images are stored top row first); the
// quad keeps its size and winding.
layout(points) in;
layout(triangle_strip, max_vertices = 4) out;

in vec2 SpriteExtent[];
in vec4 SpriteColor[];

out vec2 TexCoord;
out vec4 Color;

void EmitCorner(vec2 corner)
{
    vec2 extent = SpriteExtent[0];
    TexCoord = corner * sign(extent) * 0.5 + 0.5;
    Color = SpriteColor[0];
    gl_Position = gl_in[0].gl_Position + vec4(corner * abs(extent), 0.0, 0.0);
    EmitVertex();
}

void main()
{
    // Counter-clockwise, so face culling keeps the quad.
    EmitCorner(vec2(-1.0, -1.0));
    EmitCorner(vec2(1.0, -1.0));
    EmitCorner(vec2(-1.0, 1.0));
    EmitCorner(vec2(1.0, 1.0));
    EndPrimitive();
}
