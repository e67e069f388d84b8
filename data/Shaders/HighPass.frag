#version 330 core
// Keeps the bright parts of the image for the bloom, with a soft knee so highlights fade in.
// Reads "TexSampler".

uniform sampler2D TexSampler;

in vec2 TexCoord;
out vec4 FragColor;

const vec3 kLuma = vec3(0.2126, 0.7152, 0.0722);

void main()
{
    vec3 colour = texture(TexSampler, TexCoord).rgb;
    float brightness = dot(colour, kLuma);
    FragColor = vec4(colour * smoothstep(0.45, 0.85, brightness), 1.0);
}
