#pragma once
#include <windows.h>

// Parts the recovery volumes beside the parts can rebuild (0: none written), for
// the script to mention them when a part is bad.
extern DWORD scriptRecoveryParts;

// Writes "<name>.bat" beside the parts, joining them again with copy /b. A name the
// OEM code page cannot spell exactly gets no script: a box says how to join the
// parts by hand instead, and the result is true (the split itself succeeded).
// False, after a box that says what failed, when the script or the checksum list
// could not be written.
bool WriteMergeScript();
