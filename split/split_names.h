// The names of the files a split makes beside its source's name in the destination:
// the parts (.001 on), the merge script (.bat), the checksum list (.sha256), the
// recovery volumes (.volXX+YY.par2) and the files the script makes while it joins
// (.joining, .hashing). All of them must be
// paths Windows takes, or the split could not be finished or joined.
#pragma once
#include <cstddef>

// True when every such path for appState (destDir, with the backslash the run
// adds, the file name of sourcePath, partCount parts, a recovery set for
// `recoveryParts` lost parts) is at most 259 characters. The longest of them goes
// into `longest` (for the box that tells of it).
bool SplitNamesFit(char* longest, std::size_t capacity, unsigned long recoveryParts);
