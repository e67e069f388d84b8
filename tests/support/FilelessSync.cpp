#include "support/FilelessSync.h"

bool OpenSyncDeviceWithoutFiles(SyncContext& sync, Soundtrack* soundtrack) {
    return CreateSyncDevice(sync, "/nonexistent-sync-dir/", soundtrack);
}

void HoldTrack(SyncContext& sync, const char* name, float value) {
    SyncTrack* track = GetTrack(name, sync.device.get());
    track->keys = {SyncKey{0, value, 0}};
    track->keyCount = 1;
}
