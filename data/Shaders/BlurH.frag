#version 330 core
// One horizontal pass of a 49-tap Gaussian blur (sigma 8 texels) over the 512x512 highlights.
// Reads "TexSampler" and "Resolution".

uniform sampler2D TexSampler;
uniform vec2 Resolution;

in vec2 TexCoord;
out vec4 FragColor;

// Neighbouring taps are paired and read with one linear fetch between them, so the 49 taps
// cost 25 fetches; weights and offsets are the pairs' sums and weighted centres.
const int kPairs = 12;
const float kCentreWeight = 0.0499768;
const float kOffsets[kPairs] = float[](1.4941409, 3.4863315, 5.4785288, 7.4707366, 9.4629586, 11.4551986,
                                       13.4474603, 15.4397473, 17.4320634, 19.4244120, 21.4167966, 23.4092208);
const float kWeights[kPairs] = float[](0.0980270, 0.0906878, 0.0788342, 0.0643936, 0.0494235, 0.0356440,
                                       0.0241546, 0.0153807, 0.0092026, 0.0051738, 0.0027332, 0.0013567);

void main()
{
    // The 512x512 highlights stretch over a wider window: shorter steps keep the glow round.
    float aspect = Resolution.x > 0.0 ? Resolution.y / Resolution.x : 1.0;
    vec2 texel = vec2(aspect / float(textureSize(TexSampler, 0).x), 0.0);
    vec3 sum = texture(TexSampler, TexCoord).rgb * kCentreWeight;
    for (int i = 0; i < kPairs; ++i)
    {
        vec2 offset = texel * kOffsets[i];
        sum += (texture(TexSampler, TexCoord + offset).rgb + texture(TexSampler, TexCoord - offset).rgb) * kWeights[i];
    }
    FragColor = vec4(sum, 1.0);
}
