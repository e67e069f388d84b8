#pragma once
// Sync devices for tests that need tracks but no track files.

#include "sync/Sync.h"

// Opens `sync`'s device on a directory that does not exist: every track starts empty.
bool OpenSyncDeviceWithoutFiles(SyncContext& sync, Soundtrack* soundtrack = nullptr);

// Makes the track `name` of the open device read `value` at every row.
void HoldTrack(SyncContext& sync, const char* name, float value);
