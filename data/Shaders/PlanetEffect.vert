#version 330 core
// The planet's static cloud of sprites, drawn additively round the whole scene.
// Reads "ProjectionMatrix", "ViewMatrix", "CurrentTime" and "Wave" (how far a ripple swells
// the sprites; the effect keeps the cloud still with 0).

layout(location = 0) in vec3 Position;
layout(location = 1) in float W;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform float CurrentTime;
uniform float Wave;

out vec2 SpriteExtent;
out vec4 SpriteColor;

void main()
{
    vec4 viewPosition = ViewMatrix * vec4(Position, 1.0);
    gl_Position = ProjectionMatrix * viewPosition;

    float ripple = Wave * sin(6.2831853 * CurrentTime - 0.1 * length(Position));
    float halfSize = (0.3 + 0.6 * W) * (1.0 + 0.35 * ripple);
    SpriteExtent = halfSize * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1]);

    // Sprites brushing the eye would wash out the planet; far ones fade into the dark.
    float depth = -viewPosition.z;
    float fade = smoothstep(4.0, 16.0, depth) * (1.0 - smoothstep(110.0, 220.0, depth));
    float twinkle = 0.7 + 0.3 * sin(CurrentTime * 1.5707963 + W * 23.0 + Position.x);
    vec3 tint = mix(vec3(0.45, 0.55, 1.0), vec3(0.85, 0.6, 1.0), fract(W * 2.5));
    SpriteColor = vec4(tint * fade * twinkle, 1.0);
}
