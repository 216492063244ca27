#pragma once
#include <windows.h>

// Why there is no room, besides 1000 for a prompt for another disk cancelled.
constexpr int kDiskFullTold = 1001;      // a fixed disk too full, said in a box of its own
constexpr int kFreeSpaceUnknown = 1002;  // the volume could not be asked; nothing shown

// Asks whether the volume of appState.destDir has bytesNeeded free, prompting for
// another disk on a removable drive. 0 when there is room, one of the codes above
// or 1000 otherwise.
int CheckFreeSpace(DWORD bytesNeeded);

// The volume of appState.destDir as it is now, without prompting: its free and
// total bytes, the bytes of one cluster, and whether its drive is removable.
// False when the volume cannot be asked.
bool DestinationSpace(unsigned long long* freeBytes, unsigned long long* totalBytes,
                      DWORD* clusterBytes, bool* removable);
