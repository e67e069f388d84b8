#pragma once
// Sync tracks: named key tracks read from "./sync/_<name>.track", sampled by row, and the
// row clock (16 rows per beat) derived from the soundtrack's playback position.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Soundtrack;

struct SyncKey {
    int32_t row = 0;
    float value = 0.0f;
    int32_t type = 0;  // 0 step, 1 linear, 2 smooth, 3 ramp; anything else reads 0
};

struct SyncTrack {
    std::string name;
    std::vector<SyncKey> keys;
    int32_t keyCount = 0;
};

struct SyncDevice {
    std::string basePath;
    std::vector<std::unique_ptr<SyncTrack>> tracks;  // in the order of their first request
    int32_t trackCount = 0;
};

struct SyncContext {
    std::unique_ptr<SyncDevice> device;
    Soundtrack* soundtrack = nullptr;
};

// A separately allocated holder of one track pointer; its owner frees the holder only,
// never the track, which belongs to the device.
using TrackHandle = std::unique_ptr<SyncTrack*>;

// Set by the engine before the sync device is created.
extern SyncContext* gSync;

bool CreateSyncDevice(SyncContext& context, const char* basePath, Soundtrack* soundtrack);
void DestroySyncDevice(SyncContext& context);
SyncTrack* GetTrack(const char* name, SyncDevice* device);
// Convenience for Init: a new handle holding GetTrack(name, gSync->device).
TrackHandle RequestTrack(const char* name);
float GetValue(const SyncTrack* track, double row);
// floor(beats × 16): the row clock of CurrentRow, apart from reading the position.
int32_t RowAtBeats(float beats);
int32_t CurrentRow(const SyncContext& context);
// The beat position of gSync's soundtrack, read afresh at each call since the music moves on
// while a frame is drawn. Without one there is no clock, and the beat stands at 0.
float SoundtrackBeat();
