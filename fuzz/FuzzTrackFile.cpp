// A ".track" file of any bytes: parsed, then sampled across and around its rows, where every
// interpolation kind and the binary search run on whatever the keys hold (NaN, infinities,
// extreme rows).
#include <cstddef>
#include <cstdint>

#include "formats/TrackFile.h"
#include "sync/Sync.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SyncTrack track;
    ParseTrackFile(data, size, "fuzz.track", track);
    volatile float sink = 0.0f;
    for (const SyncKey& key : track.keys) {
        sink = GetValue(&track, key.row);
        sink = GetValue(&track, static_cast<double>(key.row) + 0.5);
        sink = GetValue(&track, static_cast<double>(key.row) - 1.0);
    }
    sink = GetValue(&track, -1e12);
    sink = GetValue(&track, 1e12);
    (void)sink;
    return 0;
}
