#pragma once
// The two send effects: a ping-pong delay and a plate-like reverb (Schroeder-Moorer, as in
// the public-domain Freeverb design). Both process whole buffers in place.

#include "soundtrack/StereoBuffer.h"

#include <vector>

// Mono in, stereo out: echoes alternate between the sides, each darker than the last.
void PingPongDelay(const std::vector<float>& input, int delaySamples, float feedback, StereoBuffer& output);
// Mono in, stereo out, wet only.
void Reverb(const std::vector<float>& input, float roomSize, float damping, StereoBuffer& output);
