#version 330 core
// The tunnel's cloud of sprites, rising slowly round the gem helix and wrapping at the top.
// Reads "ProjectionMatrix", "ViewMatrix" and "CurrentTime".

layout(location = 0) in vec3 Position;
layout(location = 1) in float W;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform float CurrentTime;

out vec2 SpriteExtent;
out vec4 SpriteColor;

// The records fill a box 200 across about the origin; the helix climbs from 30 to 122.
const float kBoxHeight = 200.0;
const float kBoxBottom = -40.0;

void main()
{
    float rise = mod(Position.y + 100.0 + CurrentTime * (1.0 + W) * 1.5, kBoxHeight);
    vec3 world = vec3(Position.x, kBoxBottom + rise, Position.z);
    vec4 viewPosition = ViewMatrix * vec4(world, 1.0);
    gl_Position = ProjectionMatrix * viewPosition;

    float halfSize = 0.35 + 0.55 * W;
    SpriteExtent = halfSize * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1]);

    // Sprites fade in at the bottom and out at the top, so the wrap never pops; those brushing
    // the eye would wash out the frame, and far ones sink into the dark.
    float band = smoothstep(0.0, 20.0, rise) * (1.0 - smoothstep(kBoxHeight - 20.0, kBoxHeight, rise));
    float depth = -viewPosition.z;
    float fade = smoothstep(4.0, 16.0, depth) * (1.0 - smoothstep(140.0, 260.0, depth));
    float twinkle = 0.7 + 0.3 * sin(CurrentTime * 3.1415927 + W * 19.0 + Position.z);
    vec3 tint = mix(vec3(0.4, 0.7, 1.0), vec3(0.95, 0.55, 0.9), fract(W * 2.5 + 0.3));
    SpriteColor = vec4(tint * band * fade * twinkle, 1.0);
}
