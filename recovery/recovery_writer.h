// The PAR2 recovery set a split writes beside its parts, so that any `losses` of
// the parts missing or damaged can be rebuilt (by this program's join, or by any
// PAR2 tool): "<name>.par2" and one "<name>.volXX+1.par2" per recovery slice.
#pragma once
#include <windows.h>

// What the last set written holds, for the split's summary.
struct RecoverySetReport {
    DWORD partsCovered;  // parts the set can rebuild, whichever they are
    DWORD volumes;       // recovery files beside the index
    DWORD extraDisks;    // disks asked for while the set was written (removable drives)
    bool removable;
};
extern RecoverySetReport lastRecoverySet;

// Milliseconds the last set's steps took, for the benchmark: the checksums of the
// parts and slices, the recovery data (computed and put into the volumes), and the
// rest of the writing (the description packets, the volumes sealed and copied out).
struct RecoveryTimings {
    double checksums;
    double computation;
    double writing;
};
extern RecoveryTimings recoveryTimings;

// Called as the set is made with the work done and the whole; false cancels.
using RecoveryProgressHook = bool (*)(unsigned long long done, unsigned long long total);
extern RecoveryProgressHook recoveryProgressHook;

// Writes the set for the parts of the run in appState (source, destination ending
// in a backslash, sizes, part count), reading their bytes from the source, which
// stays in place while disks are changed. Each file is checked for room first,
// with the insert-disk prompt on a removable drive. False when cancelled or
// failed: no file of the set is left then, and how it stopped is recorded for the
// split's closing box (split/run_end.h). `losses` 0 writes nothing.
bool WriteRecoverySet(DWORD losses);

// The session ends while the set may be under way: every file of it goes at once.
void EndRecoveryAsSessionEnds();
