#version 330 core
// Textured backdrop behind the sphere morph, dimmed so the lit shapes stand out against it.
// Reads "TexSampler".

uniform sampler2D TexSampler;

in vec2 TexCoord;
out vec4 FragColor;

void main()
{
    FragColor = vec4(texture(TexSampler, TexCoord).rgb * 0.55, 1.0);
}
