#include "split/split_names.h"

#include <shlwapi.h>

#include <cstring>

#include "core/app_state.h"

namespace {
// The endings the program and its script give the name, longest first among the
// fixed ones; a part number has at least three digits.
constexpr const char* kEndings[] = {".joining", ".hashing", ".sha256", ".bat"};
}  // namespace

bool SplitNamesFit(char* longest, std::size_t capacity, unsigned long recoveryParts) {
    const char* name = PathFindFileNameA(appState.sourcePath);
    const char* slash = EndsInBackslash(appState.destDir) ? "" : "\\";
    char part[32];
    FormatText(part, sizeof part, ".%03llu", appState.partCount == 0 ? 1ull : appState.partCount);
    const char* ending = std::strlen(part) > std::strlen(kEndings[0]) ? part : kEndings[0];
    // A volume's numbers are as wide as the largest (one slice a part on a fixed drive).
    char volume[48];
    if (recoveryParts != 0) {
        char widest[16];
        FormatText(widest, sizeof widest, "%lu", recoveryParts);
        const int width = static_cast<int>(std::strlen(widest));
        FormatText(volume, sizeof volume, ".vol%0*lu+%0*lu.par2", width, 0ul, width, 1ul);
        if (std::strlen(volume) > std::strlen(ending)) ending = volume;
    }
    // Text of up to two whole paths: measured whole, then said (cut if it must be).
    char path[3 * kPathSize];
    bool formed = FormatText(path, sizeof path, "%s%s%s%s", appState.destDir, slash, name, ending);
    CopyText(longest, capacity, path);
    return formed && FitsPath(path);
}
