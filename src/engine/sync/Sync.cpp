#include "sync/Sync.h"

#include "audio/IFrameClock.h"
#include "audio/Soundtrack.h"
#include "formats/Timeline.h"
#include "formats/TrackFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

SyncContext* gSync = nullptr;

namespace {

// A huge or non-finite row must not overflow the integer conversion.
int32_t FloorToRow(double row) {
    if (std::isnan(row))
        return 0;
    return static_cast<int32_t>(std::clamp(std::floor(row), double(INT32_MIN), double(INT32_MAX)));
}

// Index of the key at r, else of the last key below r, else -1.
int32_t FindKey(const SyncKey* keys, int32_t count, int32_t r) {
    int32_t lo = 0;
    int32_t hi = count;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (keys[mid].row < r)
            lo = mid + 1;
        else if (keys[mid].row > r)
            hi = mid;
        else
            return mid;
    }
    return lo - 1;
}

double Interpolate(const SyncKey& key, const SyncKey& next, double row) {
    const double t = (row - key.row) / (double(next.row) - double(key.row));
    const double d = double(next.value) - double(key.value);
    switch (key.type) {
    case 0: return key.value;
    case 1: return key.value + d * t;
    case 2: return key.value + d * t * t * (3.0 - 2.0 * t);
    case 3: return key.value + d * std::pow(t, 2.0);
    default: return 0.0;
    }
}

float FrameBeat(const SyncContext& context) {
    return context.soundtrack ? BeatsAtSeconds(context.soundtrack->tempo, context.frameSeconds) : 0.0f;
}

}  // namespace

bool CreateSyncDevice(SyncContext& context, const char* basePath, Soundtrack* soundtrack) {
    context.soundtrack = soundtrack;
    context.device.reset(new (std::nothrow) SyncDevice);
    if (!context.device)
        return false;
    context.device->basePath = basePath;
    return true;
}

void DestroySyncDevice(SyncContext& context) {
    context.device.reset();
}

SyncTrack* GetTrack(const char* name, SyncDevice* device) {
    if (!device || !name)
        return nullptr;
    for (const std::unique_ptr<SyncTrack>& track : device->tracks) {
        if (std::strcmp(track->name.c_str(), name) == 0)
            return track.get();
    }

    auto track = std::make_unique<SyncTrack>();
    track->name = name;
    // A path that does not fit is refused: the track stays empty and reads 0.
    char path[kTrackPathCapacity];
    if (BuildTrackPath(device->basePath.c_str(), name, path))
        LoadTrackFile(path, *track);

    device->tracks.push_back(std::move(track));
    device->trackCount = static_cast<int32_t>(device->tracks.size());
    return device->tracks.back().get();
}

TrackHandle RequestTrack(const char* name) {
    SyncDevice* device = gSync ? gSync->device.get() : nullptr;
    return std::make_unique<SyncTrack*>(GetTrack(name, device));
}

float GetValue(const SyncTrack* track, double row) {
    if (!track)
        return 0.0f;
    const int32_t count = std::min(track->keyCount, static_cast<int32_t>(track->keys.size()));
    if (count <= 0)
        return 0.0f;

    const SyncKey* keys = track->keys.data();
    const int32_t k = FindKey(keys, count, FloorToRow(row));
    if (k < 0)
        return keys[0].value;
    if (k > count - 2)
        return keys[count - 1].value;
    return static_cast<float>(Interpolate(keys[k], keys[k + 1], row));
}

int32_t RowAtBeats(float beats) {
    const float rows = beats * kRowsPerBeat;
    return FloorToRow(rows);
}

void ReadFrameClock(SyncContext& context) {
    context.frameSeconds = context.clock ? context.clock->ReadSeconds() : -1.0f;
}

float SoundtrackBeat() {
    return gSync ? FrameBeat(*gSync) : 0.0f;
}

int32_t CurrentRow(const SyncContext& context) {
    return context.soundtrack ? RowAtBeats(FrameBeat(context)) : 0;
}

void ApplyTimeline(const std::vector<TimelineTrack>& tracks, SyncDevice& device) {
    for (const std::unique_ptr<SyncTrack>& track : device.tracks) {
        const auto source = std::find_if(tracks.begin(), tracks.end(),
                                         [&](const TimelineTrack& t) { return t.name == track->name; });
        if (source == tracks.end())
            continue;
        track->keys = source->keys;
        track->keyCount = static_cast<int32_t>(track->keys.size());
    }
}
