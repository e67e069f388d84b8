#version 330 core
// Sphere-morph sprite cloud: world-space points whose record w sets the sprite size.
// Reads "ProjectionMatrix", "ViewMatrix" and "CurrentTime".

layout(location = 0) in vec3 Position;
layout(location = 1) in float W;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform float CurrentTime;

out vec2 SpriteExtent;
out vec4 SpriteColor;

void main()
{
    vec4 viewPosition = ViewMatrix * vec4(Position, 1.0);
    gl_Position = ProjectionMatrix * viewPosition;

    float halfSize = 0.4 + 0.8 * W;
    SpriteExtent = halfSize * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1]);

    // Sprites brushing the eye would wash out the frame; far ones fade into the dark.
    float depth = -viewPosition.z;
    float fade = smoothstep(3.0, 12.0, depth) * (1.0 - smoothstep(120.0, 260.0, depth));
    float twinkle = 0.75 + 0.25 * sin(CurrentTime * 3.14159265 + W * 17.0);
    SpriteColor = vec4(vec3(0.55, 0.75, 1.0) * fade * twinkle, 1.0);
}
