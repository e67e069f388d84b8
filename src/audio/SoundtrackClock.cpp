#include "audio/SoundtrackClock.h"

#include "audio/Soundtrack.h"

float SoundtrackClock::ReadSeconds() {
    return PlaybackSeconds(soundtrack);
}
