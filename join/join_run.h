// The join: the parts of the set whose first part is appState.sourcePath, copied in
// order into "<destDir><name>.joining" and checked as they are copied (there, their
// length, and their SHA-256 where the list is known), then put in place as
// "<destDir><name>". It reports through the split's progress hook, and its prompts
// have no owner window, as the split's.
#pragma once
#include <windows.h>

#include "join/join_set.h"

// Whether the run checks each part's SHA-256 against the list; off, the benchmark
// compares a run without.
extern bool joinCheckParts;

// What the set looks like before anything is copied: the parts found and their
// bytes (the list's number where there is a usable list). For the main window.
struct JoinPreview {
    unsigned long long parts;
    unsigned long long bytes;
};
bool PreviewJoin(const char* firstPart, JoinPreview& preview);

// Seams for mending a set from elsewhere (recovery data beside the parts). Null:
// nothing is mended. The first is called once the set is found (its list read) and
// before its parts are counted or copied: it may put missing or damaged parts
// right in place; false when nothing is to be joined (it said why). The second when
// part `part` was found missing, of the wrong length, damaged or unreadable, before
// the user is asked: true when it put the part right in place, which is then copied
// again (once; after that the user is asked).
using JoinSetHook = bool (*)(const JoinSet& set);
using JoinBadPartHook = bool (*)(const JoinSet& set, unsigned long long part);
extern JoinSetHook joinBeforeCopyHook;
extern JoinBadPartHook joinBadPartHook;

// With it, a part from removable disks (not the first) may be left out at its
// prompt (Continue) and is rebuilt once the others are in: it is called then with
// the joined file open for reading and writing, part n at (n - 1) * partLength in
// it, and is true when it wrote every part left out there, whole; false when
// nothing is to be joined (it said why). Null: every part must come from its disk.
using JoinLeftOutHook = bool (*)(const JoinSet& set, HANDLE joined, unsigned long long partLength);
extern JoinLeftOutHook joinLeftOutHook;

// Joins the set into appState.destDir. True when the joined file is in place, with
// appState.fileSize and partCount its size and parts; false after the boxes that
// said why (nothing then changed in the destination).
bool JoinFile();
// True when the last join had no list to check the contents against.
bool JoinedWithoutList();

// The session ends during a join: the unfinished file goes at once.
void EndJoinAsSessionEnds();
