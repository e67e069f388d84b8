#version 330 core
// Soft additive sprite: the sprite texture tinted by the vertex colour.
// Reads "TexSampler".

uniform sampler2D TexSampler;

in vec2 TexCoord;
in vec4 Color;

out vec4 FragColor;

void main()
{
    vec4 colour = texture(TexSampler, TexCoord) * Color;
    // Sprites are blended additively but still write depth; dropping the dark fringe keeps a
    // sprite's empty corners from hiding the ones drawn after it.
    if (max(colour.r, max(colour.g, colour.b)) < 0.02)
        discard;
    FragColor = colour;
}
