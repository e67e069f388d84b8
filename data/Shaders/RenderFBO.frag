#version 330 core
// Copies a target onto the bound one, rescaled by the sampler's linear filter.
// Reads "TexSampler".

uniform sampler2D TexSampler;

in vec2 TexCoord;
out vec4 FragColor;

void main()
{
    FragColor = vec4(texture(TexSampler, TexCoord).rgb, 1.0);
}
