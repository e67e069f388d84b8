#version 330 core
// The planet: oceans mirror the nebula, land rises from shore to snow, the ring is dust.
// Reads "ModelMatrix" (for the height above sea level) and the environment cube map on
// "TexSampler"; lit from "LightPos" through the vertex shader.

uniform samplerCube TexSampler;
uniform mat4 ModelMatrix;

in vec3 WorldPosition;
in vec3 WorldNormal;
in vec3 ToLight;
in vec3 ToEye;

out vec4 FragColor;

// Sea level of the planet mesh, whose land rises to 9% above it and whose ring starts at 1.55 x.
const float kSeaLevel = 0.1;

vec3 Land(float height)
{
    vec3 lowland = mix(vec3(0.16, 0.34, 0.12), vec3(0.42, 0.33, 0.2), smoothstep(0.005, 0.04, height));
    return mix(lowland, vec3(0.92, 0.94, 1.0), smoothstep(0.06, 0.075, height));
}

void main()
{
    vec3 n = normalize(WorldNormal);
    vec3 toEye = normalize(ToEye);
    vec3 toLight = normalize(ToLight);
    float facing = max(dot(n, toEye), 0.0);

    float scale = length(ModelMatrix[0].xyz);
    float height = length(WorldPosition - ModelMatrix[3].xyz) / (scale * kSeaLevel) - 1.0;
    float diffuse = max(dot(n, toLight), 0.0);

    if (height > 0.4) {
        // The ring: banded dust, lit from either side, letting the nebula through its gaps.
        float band = 0.55 + 0.45 * sin(height * 90.0) * sin(height * 23.0);
        vec3 dust = vec3(0.78, 0.64, 0.46) * band * (0.2 + 0.8 * abs(dot(n, toLight)));
        FragColor = vec4(dust, 0.55 + 0.4 * band);
        return;
    }

    vec3 halfway = normalize(toLight + toEye);
    vec3 colour;
    if (height < 0.002) {
        vec3 mirrored = texture(TexSampler, reflect(-toEye, n)).rgb;
        float fresnel = 0.2 + 0.8 * pow(1.0 - facing, 5.0);
        float glint = pow(max(dot(n, halfway), 0.0), 60.0) * step(0.0, diffuse);
        colour = vec3(0.02, 0.1, 0.3) * (0.15 + 0.85 * diffuse) + mirrored * fresnel + vec3(glint);
    } else {
        colour = Land(height) * (0.08 + 0.92 * diffuse);
    }
    // A thin atmosphere glows at the rim, brighter on the day side.
    float rim = pow(1.0 - facing, 3.0);
    colour += vec3(0.3, 0.55, 1.0) * rim * (0.25 + 0.75 * diffuse);
    FragColor = vec4(colour, 1.0);
}
