#pragma once
// Deterministic lattice noise for procedural surfaces and pictures: the same seed gives the
// same values on every machine (integer hashing, no library random generator).

#include <cstdint>

// Smooth value noise in -1..1.
float ValueNoise(float x, float y, float z, uint32_t seed);
// Sum of `octaves` of value noise, each twice the frequency and half the amplitude; -1..1.
float FractalNoise(float x, float y, float z, int octaves, uint32_t seed);
// A hash of integers to 0..1, for scattering stars and the like.
float Hash01(int32_t x, int32_t y, int32_t z, uint32_t seed);
