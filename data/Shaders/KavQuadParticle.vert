#version 330 core
// Greetings sprite cloud: world-space points round the tube, sized and tinted by the record's w.
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

    float halfSize = 1.0 + 1.5 * W;
    SpriteExtent = halfSize * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1]);

    // Sprites brushing the eye would wash out the frame; the far end of the cloud fades out.
    float depth = -viewPosition.z;
    float fade = smoothstep(4.0, 20.0, depth) * (1.0 - smoothstep(300.0, 700.0, depth));
    float twinkle = 0.7 + 0.3 * sin(CurrentTime * 2.0 + W * 23.0);
    vec3 tint = mix(vec3(1.0, 0.55, 0.25), vec3(0.75, 0.45, 1.0), fract(W * 3.7));
    SpriteColor = vec4(tint * fade * twinkle * 0.8, 1.0);
}
