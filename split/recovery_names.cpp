#include "split/recovery_names.h"

#include <cstring>

#include "core/app_state.h"

namespace {
int Digits(DWORD value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// Past at least one decimal digit; null when there is none.
const char* SkipDigits(const char* text) {
    const char* at = text;
    while (*at >= '0' && *at <= '9') ++at;
    return at == text ? nullptr : at;
}
}  // namespace

bool FormatIndexPath(char* path, std::size_t capacity, const char* folder, const char* name) {
    return FormatText(path, capacity, "%s%s.par2", folder, name);
}

bool FormatVolumePath(char* path, std::size_t capacity, const char* folder, const char* name,
                      DWORD firstExponent, DWORD count, DWORD allExponents) {
    // Every volume's name as long as the others: numbers padded to the widest.
    int width = Digits(allExponents == 0 ? 0 : allExponents - 1);
    return FormatText(path, capacity, "%s%s.vol%0*lu+%0*lu.par2", folder, name, width,
                      static_cast<unsigned long>(firstExponent), Digits(count),
                      static_cast<unsigned long>(count));
}

bool IsRecoveryFileName(const char* fileName, const char* name) {
    std::size_t length = std::strlen(name);
    // Names compare as the file system does: without regard to case.
    if (std::strlen(fileName) < length ||
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, fileName, static_cast<int>(length),
                       name, static_cast<int>(length)) != CSTR_EQUAL) {
        return false;
    }
    const char* rest = fileName + length;
    if (lstrcmpiA(rest, ".par2") == 0) return true;
    if (_strnicmp(rest, ".vol", 4) != 0) return false;
    const char* at = SkipDigits(rest + 4);
    if (at == nullptr || *at != '+') return false;
    at = SkipDigits(at + 1);
    return at != nullptr && lstrcmpiA(at, ".par2") == 0;
}

bool RemoveRecoveryFiles(const char* folder, const char* name) {
    char pattern[kPathSize];
    if (!FormatText(pattern, sizeof pattern, "%s%s.*par2", folder, name)) return true;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool removed = true;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!IsRecoveryFileName(found.cFileName, name)) continue;
        char path[kPathSize];
        if (!FormatText(path, sizeof path, "%s%s", folder, found.cFileName) ||
            !DeleteFileA(path)) {
            removed = false;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return removed;
}
