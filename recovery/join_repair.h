// The join's repair step: before a set in a folder is copied, its parts are checked
// against the recovery set beside them and what is missing or damaged is rebuilt
// in place (each rebuilt part takes its name only once whole). A set more damaged
// than its volumes can rebuild is refused before anything is joined.
#pragma once
#include <windows.h>

#include <cstddef>

#include "join/join_set.h"
#include "recovery/recovery_repair.h"

// The parts the last join rebuilt, for its summary.
extern RepairReport lastJoinRepair;

// For joinBeforeCopyHook. False after a box that says why nothing is joined.
bool RepairBeforeJoin(const JoinSet& set);

// For joinLeftOutHook, from removable disks: the recovery files on the disk in the
// drive (and on the disks the user is asked for while they do not suffice) are
// copied into a folder of their own beside the joined file, the parts left out are
// rebuilt in the joined file from them, and the folder goes again.
bool RebuildLeftOutParts(const JoinSet& set, HANDLE joined, unsigned long long partLength);

// The session ends during the join: the recovery files copied for it go at once.
void EndJoinRepairAsSessionEnds();

// "3, 7" for the parts rebuilt (those beyond the room: ", and N more"). False when
// none was rebuilt.
bool FormatRebuiltParts(char* text, std::size_t capacity);
