#pragma once
// The cube tunnel's processor-side rules: how far the gem helix has grown, which gems the
// soundtrack lights, and where and in what colour each gem is drawn. Everything follows from
// the effect time and the soundtrack's beat position, so a frame keeps no state.

#include "math/Matrix4.h"
#include "math/Vector3.h"

inline constexpr int kTunnelParticleCount = 2500;
// 7 pi and pi / 32 in single precision: the helix never holds more than 224 gems.
inline constexpr float kMaxHelixLength = 21.99115f;
inline constexpr float kGemAngleStep = 0.0981747731566f;

// The helix's length in radians: it grows and shrinks with sin(time / 32) until beat 256,
// then stays at 7 pi sin(1), which holds 189 gems. Negative while the sine is.
float HelixLength(float time, float beat);
// Gems on a helix of that length: one per step of the angle, accumulated in single precision
// as the gem loop does, while the angle is below the length.
int GemCount(float helixLength);

// The gem the lit pattern centres on, or -1: a quarter-beat table from beat 258 to 280, then
// from 282 on floor(|sin((beat - 282) / 2)| x 189), the number of gems lit from the first.
int HighlightIndex(float beat);

// How one gem is drawn besides its place on the helix.
struct GemLook {
    Vector3 diffuseColor;
    float reflectivity = 0.0f;
    bool shifted = false;  // swept sideways with the beat
    float scale = 1.0f;    // the pulse from beat 285 on
};

// The palette of the lit gems: (sin(gem / 4), cos(gem / 4), gem / 4 modulo 4).
Vector3 GemPaletteColor(int gem);
// The first of the four colour rules that matches gem `gem` at `beat` with highlight `highlight`.
GemLook GemLookAt(int gem, int highlight, float beat);

// The whole helix turns once every 32 units of time, drawn at half size.
Matrix4 HelixBaseMatrix(float time);
// The gem at helix angle `angle`, tumbling at a rate that slows along the helix.
Matrix4 GemMatrix(const Matrix4& base, float angle, float time);
// Applies the sideways sweep and the pulse of `look` to a gem's matrix.
Matrix4 ApplyGemLook(const Matrix4& gemMatrix, const GemLook& look, float beat);

// Walks the helix's gems as Render draws them, handing each one's model matrix, normal matrix
// and look to `visit`. The normals keep the unswept, unpulsed frame: the sweep is small and the
// pulse uniform.
template <typename Visit>
void ForEachGem(float time, float beat, Visit&& visit) {
    const Matrix4 base = HelixBaseMatrix(time);
    const int gemCount = GemCount(HelixLength(time, beat));
    const int highlight = HighlightIndex(beat);
    float angle = 0.0f;
    for (int gem = 0; gem < gemCount; ++gem, angle += kGemAngleStep) {
        const Matrix4 placed = GemMatrix(base, angle, time);
        const GemLook look = GemLookAt(gem, highlight, beat);
        visit(ApplyGemLook(placed, look, beat), Transpose(Inverse(placed)), look);
    }
}

// The background turns once every 64 units of time, thirty times its mesh size.
Matrix4 BackgroundMatrix(float time);
