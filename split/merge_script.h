#pragma once
#include <windows.h>

// Writes "<name>.bat" beside the parts, joining them again with copy /b. A name the
// OEM code page cannot spell exactly gets no script: a box says how to join the
// parts by hand instead, and the result is true (the split itself succeeded).
// False, after a box that says what failed, when the script or the checksum list
// could not be written. The sizes are the run's, in bytes:
// 64-bit, so that a script for parts and results past 2 and 4 GiB checks them.
bool WriteMergeScript(unsigned long long fileSize, unsigned long long splitSize,
                      unsigned long long partCount);
// The script for the run appState describes, as the main window asks for it.
bool WriteMergeScript();

// The number of recovery parts the run wrote beside the parts (<name>.par2 and
// <name>.vol*.par2): with one or more the script says, when a part is bad, that
// they can rebuild it. 0, the default: no recovery set.
extern DWORD scriptRecoveryParts;
