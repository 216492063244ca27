// Names of the recovery set's files beside the parts: "<name>.par2" (no recovery
// data) and "<name>.volXX+YY.par2" (recovery slices from exponent XX, YY of them),
// as the common PAR2 tools name theirs. The split removes them with the script.
#pragma once
#include <windows.h>

#include <cstddef>

// Paths in folder (which ends in a backslash); false when the path does not fit.
bool FormatIndexPath(char* path, std::size_t capacity, const char* folder, const char* name);
bool FormatVolumePath(char* path, std::size_t capacity, const char* folder, const char* name,
                      DWORD firstExponent, DWORD count, DWORD allExponents);

// True when fileName is one of the set's names for name.
bool IsRecoveryFileName(const char* fileName, const char* name);

// Deletes every file of name's set in folder. False when one stays (read-only,
// say) or a path did not fit.
bool RemoveRecoveryFiles(const char* folder, const char* name);
