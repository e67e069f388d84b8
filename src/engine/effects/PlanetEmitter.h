#pragma once
// The planet effect's processor-side rules: the emitter's shape for the soundtrack's beat, the
// planet's spin and size, and the static cloud. Every shape follows from the beat and the effect
// time alone; records past a stage's count are left as they were.

#include <span>

#include "effects/ParticleCloud.h"

inline constexpr int kPlanetParticleCount = 2500;

// What a frame of the emitter draws: the stage (1 to 11), how many records from the first
// and the "Wave" value for the emitter program.
struct EmitterStage {
    int number = 0;
    int count = 0;
    float wave = 1.0f;
};

// The first stage whose upper beat bound `beat` does not exceed; 11 above beat 96.
int EmitterStageAt(float beat);

// Chooses the stage for `beat`, writes its records for `time` from records[0] on and says what
// to draw. `records` must hold kPlanetParticleCount records; a shorter span is left untouched
// and nothing is drawn.
EmitterStage WriteEmitterStage(float beat, float time, std::span<ParticleRecord> records);

// An n x n grid of angles on a sphere of `radius` that turns with the time; n x n records.
void WriteSphereGrid(int n, float radius, float time, std::span<ParticleRecord> records);
// The butterfly curve through kPlanetParticleCount records, lifted by sin(time / 4).
void WriteButterfly(float time, std::span<ParticleRecord> records);
// A 10 x 10 x 10 lattice that grows from nothing to 4.5 across once per unit of time; 1000 records.
void WriteLattice(float time, std::span<ParticleRecord> records);

// The spin's period in units of time: four times slower from beat 33 on.
float PlanetSpinPeriod(float beat);
// The planet's scale: 10, then from beat 33 a saw from 10 towards 18 once per unit of time.
float PlanetSize(float beat, float time);

// The initial ring of radius 10 in the x-z plane, one record per 4 radians.
void WriteEmitterRing(std::span<ParticleRecord> records);
