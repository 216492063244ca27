#pragma once
#include <windows.h>

// Asks whether the volume of appState.destDir has bytesNeeded free, prompting for
// another disk on a removable drive. 0 when there is room, 1000 otherwise.
int CheckFreeSpace(DWORD bytesNeeded);

// The volume of appState.destDir as it is now, without prompting: its free and
// total bytes, the bytes of one cluster, and whether its drive is removable.
// False when the volume cannot be asked.
bool DestinationSpace(unsigned long long* freeBytes, unsigned long long* totalBytes,
                      DWORD* clusterBytes, bool* removable);
