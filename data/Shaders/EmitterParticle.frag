#version 330 core
// The planet's emitter sprites, alpha blended: the sprite texture tinted by the vertex colour.
// Reads "TexSampler".

uniform sampler2D TexSampler;

in vec2 TexCoord;
in vec4 Color;

out vec4 FragColor;

void main()
{
    vec4 sprite = texture(TexSampler, TexCoord);
    // The sprites write depth; an empty corner must not hide the sprites drawn after it.
    if (sprite.a < 0.03)
        discard;
    // The sprite's shape in the vertex colour, its hot core turning white: the embers and the
    // lattice's cold crystals both come from the one warm texture.
    float core = sprite.a * sprite.a * sprite.a;
    FragColor = vec4(mix(Color.rgb * sprite.a, vec3(1.0), 0.6 * core), sprite.a * Color.a);
}
