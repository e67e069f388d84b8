#version 330 core
// Lit surface of the sphere, the spiky ball and the translucent shell.
// Reads "SphereColor" (rgb tint, alpha = opacity, 0.2 for the shell).

uniform vec4 SphereColor;

in vec3 ViewPosition;
in vec3 ViewNormal;
in vec3 ViewLight;

out vec4 FragColor;

void main()
{
    vec3 n = normalize(ViewNormal);
    vec3 toLight = normalize(ViewLight - ViewPosition);
    vec3 toEye = normalize(-ViewPosition);
    vec3 halfway = normalize(toLight + toEye);

    float diffuse = max(dot(n, toLight), 0.0);
    float specular = pow(max(dot(n, halfway), 0.0), 40.0) * step(0.0, diffuse);
    // Glancing angles catch more light, which keeps a thin shell readable at its rim.
    float rim = pow(1.0 - abs(dot(n, toEye)), 3.0);

    // A soft fill from the eye keeps the side turned from the light a readable blue.
    float fill = max(dot(n, toEye), 0.0);
    vec3 colour = SphereColor.rgb * (0.12 + 0.7 * diffuse + 0.45 * fill) + vec3(0.6 * specular + 0.25 * rim);
    float alpha = clamp(SphereColor.a + (1.0 - SphereColor.a) * 0.5 * rim + specular * 0.5, 0.0, 1.0);
    FragColor = vec4(colour, alpha);
}
