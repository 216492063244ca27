#pragma once
#include <windows.h>

// Asks whether the volume of appState.destDir has bytesNeeded free, prompting for
// another disk on a removable drive. 0 when there is room, 1000 otherwise.
int CheckFreeSpace(DWORD bytesNeeded);
