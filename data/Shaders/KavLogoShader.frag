#version 330 core
// Chrome logo: the environment cube map reflected off the surface, lit by a swinging light.
// Reads "TexSampler" (cube map) and the world-space vectors of SphereEffect.vert.

uniform samplerCube TexSampler;

in vec3 WorldPosition;
in vec3 WorldNormal;
in vec3 ToLight;
in vec3 ToEye;

out vec4 FragColor;

void main()
{
    vec3 n = normalize(WorldNormal);
    vec3 toLight = normalize(ToLight);
    vec3 toEye = normalize(ToEye);

    vec3 reflection = texture(TexSampler, reflect(-toEye, n)).rgb;
    float diffuse = max(dot(n, toLight), 0.0);
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 60.0) * step(0.0, diffuse);
    // Metal reflects more at grazing angles, which outlines the letters against the tube.
    float fresnel = 0.55 + 0.45 * pow(1.0 - max(dot(n, toEye), 0.0), 3.0);

    // The light often stands behind the logo; a little steel of its own keeps the face readable.
    vec3 steel = vec3(0.2, 0.22, 0.26) * (0.5 + 0.5 * diffuse);
    vec3 colour = reflection * fresnel * (0.8 + 0.4 * diffuse) + steel + vec3(specular);
    FragColor = vec4(colour, 1.0);
}
