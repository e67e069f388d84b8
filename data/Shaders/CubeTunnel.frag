#version 330 core
// The tunnel's gems and background: a lit colour with the environment mirrored in it.
// Reads "DiffuseColor", "Reflectivity" and the cube map on "TexSampler" ("LightPos" reaches it
// through the vertex stage).

uniform samplerCube TexSampler;
uniform vec3 DiffuseColor;
uniform float Reflectivity;

in vec3 WorldNormal;
in vec3 ToLight;
in vec3 ToEye;
in float ModelScale;

out vec4 FragColor;

// The effect gives lit gems a reflectivity of 0.7, plain ones 0.25 and the background 0.5.
const float kLitFrom = 0.6;

void main()
{
    vec3 n = normalize(WorldNormal);
    vec3 toEye = normalize(ToEye);
    vec3 toLight = normalize(ToLight);
    float diffuse = max(dot(n, toLight), 0.0);
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 48.0) * step(0.0, diffuse);

    // The colours run past 1 and below 0 (the plain gems are 3.65 blue); a soft curve keeps
    // their hue where a clamp would flatten it to white.
    vec3 albedo = 1.0 - exp(-0.5 * max(DiffuseColor, 0.0));
    float lit = smoothstep(kLitFrom, 0.7, Reflectivity);
    // Plain gems stay a deep, dim blue so that a lit one stands out among them, and the
    // background (0.5) stays behind the coil.
    float dim = Reflectivity < 0.4 ? 0.6 : 0.7;
    vec3 surface = albedo * (0.35 + 0.65 * diffuse);
    vec3 mirrored = texture(TexSampler, reflect(-toEye, n)).rgb;
    float fresnel = pow(1.0 - max(dot(n, toEye), 0.0), 3.0);
    float reflectivity = clamp(Reflectivity + (1.0 - Reflectivity) * 0.5 * fresnel, 0.0, 1.0);
    vec3 colour = dim * mix(surface, mirrored * (0.5 + albedo), reflectivity) + vec3(0.5 * specular);

    // Lit gems burn in their own hue round a white-hot core, bright enough for the bloom to
    // catch; swollen to several times their size they lose the core, so that the coil keeps
    // its colours and its shape instead of melting into white.
    vec3 hue = albedo / max(max(albedo.r, max(albedo.g, albedo.b)), 0.001);
    float core = 0.55 * (1.0 - smoothstep(1.5, 4.0, ModelScale));
    colour = mix(colour, hue * (0.75 + 0.35 * diffuse) + vec3(0.12 + core), lit);
    FragColor = vec4(colour, 1.0);
}
