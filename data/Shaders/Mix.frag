#version 330 core
// Final bloom image: the scene plus its blurred highlights, the highlights scaled by the fade.
// Reads "TexSampler" (scene), "TexSampler2" (blurred highlights) and "Fade".

uniform sampler2D TexSampler;
uniform sampler2D TexSampler2;
uniform float Fade;

in vec2 TexCoord;
out vec4 FragColor;

void main()
{
    vec3 scene = texture(TexSampler, TexCoord).rgb;
    vec3 glow = texture(TexSampler2, TexCoord).rgb;
    // Opaque on purpose: the window still blends, and the scene's alpha is not coverage.
    FragColor = vec4(scene + glow * Fade, 1.0);
}
