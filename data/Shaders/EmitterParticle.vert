#version 330 core
// The planet's emitter: world-space points rebuilt every frame, drawn as warm embers.
// Reads "ProjectionMatrix", "ViewMatrix", "CurrentTime" and "Wave" (1 for the spheres and the
// butterfly, 0 for the lattice, whose record w carries sin(4 t)).

layout(location = 0) in vec3 Position;
layout(location = 1) in float W;

uniform mat4 ProjectionMatrix;
uniform mat4 ViewMatrix;
uniform float CurrentTime;
uniform float Wave;

out vec2 SpriteExtent;
out vec4 SpriteColor;

void main()
{
    gl_Position = ProjectionMatrix * ViewMatrix * vec4(Position, 1.0);

    // Embers: a ripple runs outwards from the planet once per beat, swelling and brightening
    // the sprites it passes.
    float ripple = sin(6.2831853 * CurrentTime - 3.0 * length(Position));
    float emberSize = 0.12 * (1.0 + 0.35 * ripple);
    vec3 ember = mix(vec3(1.0, 0.45, 0.15), vec3(1.0, 0.85, 0.55), 0.5 + 0.5 * ripple);

    // Lattice: small cold crystals that swell with |w| and swing between cyan and violet.
    float crystalSize = 0.07 + 0.1 * abs(W);
    vec3 crystal = mix(vec3(0.55, 0.35, 1.0), vec3(0.3, 0.95, 1.0), 0.5 + 0.5 * W);

    float halfSize = mix(crystalSize, emberSize, Wave);
    SpriteExtent = halfSize * vec2(ProjectionMatrix[0][0], ProjectionMatrix[1][1]);
    SpriteColor = vec4(mix(crystal, ember, Wave), 1.0);
}
