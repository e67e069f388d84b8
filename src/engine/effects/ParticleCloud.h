#pragma once
// Point-sprite clouds: the 16-byte record every sprite effect uploads, drawn as GL_POINTS and
// expanded into quads by "./Shaders/PointSprite.geom". WebGL2 has no geometry shaders: there each
// record is one instance of a four-vertex strip, which the sprite vertex shader (as the web build
// writes it) expands.

#include <GL/glew.h>

#include <cstddef>
#include <span>

struct ParticleRecord {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;  // attribute 1: the sprite's size and shade, as each effect's shaders read it
};
static_assert(sizeof(ParticleRecord) == 16, "the records go to GL as four tightly packed floats");

// The next draw of the process-wide generator, rand() % 10000, as a fraction of 5000: [0, 2).
double DrawCloudFraction();

// Attribute 0 = x, y, z and attribute 1 = w of the buffer bound to GL_ARRAY_BUFFER, both enabled.
void SetParticlePointers();

// Whether sprite programs take the geometry stage.
#ifdef __EMSCRIPTEN__
inline constexpr bool kSpritesHaveGeometryStage = false;
#else
inline constexpr bool kSpritesHaveGeometryStage = true;
#endif

// The sprite programs' geometry shader, or none.
inline constexpr const char* kSpriteGeometryShader = kSpritesHaveGeometryStage ? "./Shaders/PointSprite.geom" : nullptr;

// Draws the first `count` records of the bound buffer, whose pointers SetParticlePointers set.
void DrawParticleSprites(GLsizei count);

// A static cloud filling the box [-100, 100) on each axis, w in [0, 1.8]: each record from four
// draws of the process-wide generator, unseeded, so it continues the sequence of the effects
// initialised before. The planet effect's cloud, and the cube tunnel's after it.
void FillCloudBox(std::span<ParticleRecord> records);
