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

// Where the set is known before copying and the copy has not begun: the parts
// that are missing, short or damaged may be mended here, by a later step, before
// the copy loop looks at them. Null: nothing is mended.
using JoinRepairHook = void (*)(const JoinSet& set);
extern JoinRepairHook joinRepairHook;

// Joins the set into appState.destDir. True when the joined file is in place, with
// appState.fileSize and partCount its size and parts; false after the boxes that
// said why (nothing then changed in the destination).
bool JoinFile();
// True when the last join had no list to check the contents against.
bool JoinedWithoutList();

// The session ends during a join: the unfinished file goes at once.
void EndJoinAsSessionEnds();
