#include "split/split_names.h"

#include <shlwapi.h>

#include <cstring>

#include "core/app_state.h"

namespace {
// The endings the program and its script give the name, longest first among the
// fixed ones; a part number has at least three digits.
constexpr const char* kEndings[] = {".joining", ".hashing", ".sha256", ".bat"};
}  // namespace

bool SplitNamesFit(char* longest, std::size_t capacity) {
    const char* name = PathFindFileNameA(appState.sourcePath);
    const char* slash = EndsInBackslash(appState.destDir) ? "" : "\\";
    char part[16];
    FormatText(part, sizeof part, ".%03lu",
               static_cast<unsigned long>(appState.partCount == 0 ? 1 : appState.partCount));
    const char* ending = std::strlen(part) > std::strlen(kEndings[0]) ? part : kEndings[0];
    // Text of up to two whole paths: measured whole, then said (cut if it must be).
    char path[3 * kPathSize];
    bool formed = FormatText(path, sizeof path, "%s%s%s%s", appState.destDir, slash, name, ending);
    CopyText(longest, capacity, path);
    return formed && FitsPath(path);
}
