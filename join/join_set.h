// The set of parts that a first part ("<name>.001") belongs to: the folder they
// lie in, their names, how many there are and, where the list "<name>.sha256" lies
// beside them, the SHA-256 each must have. Nothing but the parts and that one list
// is ever opened here.
#pragma once
#include <windows.h>

#include "core/app_state.h"
#include "split/part_digests.h"

struct JoinSet {
    char folder[kPathSize];  // the parts' folder, ending in a backslash (empty: current)
    char name[kPathSize];    // the joined file's name: the first part's without ".001"
    bool removable;          // the parts come from a removable drive (disks are changed)
    bool listed;             // the list was read: partCount and digests are its
    unsigned long long partCount;  // the list's number of parts, when listed
    BYTE* digests;                 // kDigestSize bytes per part, when listed
};

// Where the list stands after a look for it.
enum class PartList { Absent, Read, Refused };

// True when the path's file name ends in ".001" after at least one character.
bool IsFirstPart(const char* path);

// Takes the folder and the name from the first part's path (no list read yet).
// False when the path names no first part or its parts' names would not fit a path.
bool OpenJoinSet(const char* firstPart, JoinSet& set);
// Frees what the set holds.
void CloseJoinSet(JoinSet& set);

// The path of part `index` (from 1): "<folder><name>.<index>", at least three digits.
bool PartPath(const JoinSet& set, unsigned long long index, char (&path)[kPathSize]);
// The length of part `index` when it is a file there; false when it is not.
bool PartLength(const JoinSet& set, unsigned long long index, unsigned long long& length);

// Reads "<folder><name>.sha256" when it is there. A list that is not one line of
// 64 hex digits, two blanks and the part's name for each part 1, 2, ... in order
// (UTF-8, as the split writes it) is refused whole: it is never used to find files.
PartList ReadPartList(JoinSet& set);

// Counts the parts found in a row from part 1 into `parts`, their lengths into `bytes`.
void CountPartsFound(const JoinSet& set, unsigned long long& parts, unsigned long long& bytes);
