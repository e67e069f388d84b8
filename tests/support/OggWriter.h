#pragma once
// Writes a short, quiet Ogg Vorbis chirp for tests that need a real soundtrack file.

#include <string>

bool WriteTestOgg(const std::string& path, double seconds, int channels = 2, int sampleRate = 44100);
