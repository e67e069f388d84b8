#pragma once
// Sync tracks: named key tracks read from "./sync/_<name>.track", sampled by row, and the
// row clock (16 rows per beat) derived from the frame clock's reading of the music's position.

#include "formats/TrackFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IFrameClock;
struct Soundtrack;
struct TimelineTrack;

struct SyncDevice {
    std::string basePath;
    std::vector<std::unique_ptr<SyncTrack>> tracks;  // in the order of their first request
    int32_t trackCount = 0;
};

struct SyncContext {
    std::unique_ptr<SyncDevice> device;
    Soundtrack* soundtrack = nullptr;  // the tempo, and how the effects reach the music
    IFrameClock* clock = nullptr;      // not owned; the player's follows the soundtrack
    float frameSeconds = 0.0f;         // the clock's reading for the frame being drawn
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
// Once at the start of every frame: takes the clock's reading that every reader of the frame
// sees. Without a clock the position reads as -1 second, as an unreadable source does.
void ReadFrameClock(SyncContext& context);
// floor(beats × 16): the row clock of CurrentRow, apart from reading the position.
int32_t RowAtBeats(float beats);
// The row of the frame's reading. Without a soundtrack there is no tempo, and it stands at 0.
int32_t CurrentRow(const SyncContext& context);
// The beat of gSync's frame reading; 0 without a soundtrack.
float SoundtrackBeat();
// Gives each of the device's tracks the keys of the timeline's track of the same name; the tracks
// stay where they are, so the handles on them read the new keys at once.
void ApplyTimeline(const std::vector<TimelineTrack>& tracks, SyncDevice& device);
