#version 330 core
// Greetings overlay: one sprite showing a whole image, upright and undistorted, at its record's
// position. Reads "Project", "TexSampler", "Resolution", "ProjectionMatrix" and "ViewMatrix".

layout(location = 0) in vec3 Position;
layout(location = 1) in float W;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform vec2 Resolution;
// 0: the position is in screen space, -1 to 1, in front of everything; 1: through the camera.
uniform float Project;
uniform sampler2D TexSampler;

out vec2 SpriteExtent;
out vec4 SpriteColor;

// Images are drawn at their pixel size on a 720-line screen, scaled with the window's height.
const float kReferenceHeight = 720.0;

void main()
{
    vec4 screen = vec4(Position.xy, -1.0, 1.0);
    vec4 projected = ProjectionMatrix * ViewMatrix * vec4(Position, 1.0);
    gl_Position = mix(screen, projected, Project);

    vec2 imageSize = vec2(textureSize(TexSampler, 0));
    float aspect = Resolution.y / max(Resolution.x, 1.0);
    // A negative height makes PointSprite.geom read the rows top-down, as images are stored.
    SpriteExtent = W * vec2(imageSize.x * aspect, -imageSize.y) / kReferenceHeight;
    SpriteColor = vec4(1.0);
}
