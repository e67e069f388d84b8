#version 330 core
#extension GL_ARB_shading_language_420pack : enable
// Tube cylinders: the surface texture tinted by "HexColor", lit, with the environment mirrored.
// Reads "TexSampler" (2-D), "TexSampler2" (cube map) and "HexColor".

uniform sampler2D TexSampler;
// A 2-D and a cube sampler may not share a unit when the program is validated at link time,
// before the effect has set them; start the cube map on its own unit where GLSL allows it.
#ifdef GL_ARB_shading_language_420pack
layout(binding = 1) uniform samplerCube TexSampler2;
#else
uniform samplerCube TexSampler2;
#endif
// Components may go well past 1: rgb saturates into a flash, alpha scales the reflection.
uniform vec4 HexColor;

in vec3 WorldNormal;
in vec3 ToLight;
in vec3 ToEye;
in vec2 SurfaceCoord;

out vec4 FragColor;

void main()
{
    vec3 n = normalize(WorldNormal);
    vec3 toLight = normalize(ToLight);
    vec3 toEye = normalize(ToEye);

    float diffuse = max(dot(n, toLight), 0.0);
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 32.0) * step(0.0, diffuse);
    vec3 surface = texture(TexSampler, SurfaceCoord).rgb * HexColor.rgb;
    vec3 reflection = texture(TexSampler2, reflect(-toEye, n)).rgb;

    vec3 colour = surface * (0.3 + 0.7 * diffuse) + reflection * (0.06 * HexColor.a) + vec3(0.5 * specular);
    FragColor = vec4(colour, 1.0);
}
