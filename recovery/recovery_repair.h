// Checks the parts of a split against the recovery set beside them and rebuilds
// the missing or damaged ones: for the join, before it copies a folder's parts, or
// in the joined file once the parts from disks are in.
#pragma once
#include <windows.h>

enum class RepairOutcome {
    Whole,       // every part matches the set; nothing written
    Rebuilt,     // the parts listed were rebuilt and match the set
    TooDamaged,  // more is lost than the set can rebuild; nothing written
    NoSet,       // no usable set for the name beside the parts
    Failed,      // the set or a part could not be read or written; good parts untouched
    Cancelled,   // the progress hook said stop; nothing written
    SessionEnds  // the session ended during it; nothing written
};

constexpr DWORD kRebuiltListed = 256;

struct RepairReport {
    RepairOutcome outcome;
    DWORD parts;         // parts the set describes
    DWORD badParts;      // missing or damaged
    DWORD lostSlices;    // slices to rebuild
    DWORD spareSlices;   // recovery slices found whole
    DWORD partsCovered;  // parts those slices can rebuild, whichever they are
    DWORD rebuiltCount;  // parts rebuilt
    DWORD rebuilt[kRebuiltListed];  // their numbers, the first kRebuiltListed
};

// folder ends in a backslash; name is the source's file name ("data.zip"). Reads
// "<name>.par2" and "<name>.volXX+YY.par2" there and checks "<name>.001" onwards.
// A rebuilt part is written aside and takes its name only once its MD5 matches
// the set's. True for Whole and Rebuilt.
bool RepairParts(const char* folder, const char* name, RepairReport* report);

// The same with the parts in one joined file (opened for reading and writing), each
// at (part - 1) * partLength, the set's files in folder: the bad parts are rebuilt
// in place there; the file is not named yet, so nothing is written aside.
bool RepairJoinedParts(const char* folder, const char* name, HANDLE joined,
                       unsigned long long partLength, RepairReport* report);

// Told of the bytes checked against the set, then of those read for the rebuild
// (the bar starts again); false stops the repair.
using RepairProgressHook = bool (*)(unsigned long long done, unsigned long long total);
extern RepairProgressHook repairProgressHook;

// The session ends during a repair: the parts being rebuilt go at once.
void EndRepairAsSessionEnds();
