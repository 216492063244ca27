#include "split/free_space.h"

#include <shlwapi.h>

#include "core/app_state.h"

namespace {
constexpr int kShort = ERROR_DISK_FULL;  // 112: the verdict "too little room"

// The root of the destination's volume: "C:\" for a path with a drive letter.
// A path without one (\\server\share\dir, or relative) is resolved to a full
// path and the volume that holds it is asked of the platform.
bool FindRoot(char* root, std::size_t capacity) {
    const char* dir = appState.destDir;
    if (dir[0] != '\0' && dir[1] == ':') {
        root[0] = dir[0];
        root[1] = ':';
        root[2] = '\0';
        return AddBackslash(root, capacity);
    }
    char full[kPathSize];
    DWORD length = GetFullPathNameA(dir[0] ? dir : ".", sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return false;
    // Windows before 2000 has no volume paths: asked for by name, so the program
    // still loads there, where the path's own root serves.
    using VolumePathName = BOOL(WINAPI*)(LPCSTR, LPSTR, DWORD);
    auto volumePathName = reinterpret_cast<VolumePathName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetVolumePathNameA")));
    if (volumePathName && volumePathName(full, root, static_cast<DWORD>(capacity))) return true;
    // The volume could not be asked for: fall back to the path's own root.
    if (!CopyText(root, capacity, full) || !PathStripToRootA(root)) return false;
    return AddBackslash(root, capacity);
}

// 0 when the volume has bytesNeeded free, kShort when not, -1 when the query failed.
int Verdict(const char* root, DWORD bytesNeeded) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
        return -1;
    }
    unsigned long long freeBytes = static_cast<unsigned long long>(bytesPerSector) *
                                   sectorsPerCluster * freeClusters;
    return freeBytes < bytesNeeded ? kShort : 0;
}
}  // namespace

int CheckFreeSpace(DWORD bytesNeeded) {
    char root[kPathSize];
    if (!FindRoot(root, sizeof root)) return kFreeSpaceUnknown;
    int verdict = Verdict(root, bytesNeeded);
    if (verdict < 0) return kFreeSpaceUnknown;

    int choice = IDRETRY;
    while (verdict == kShort && choice == IDRETRY) {
        if (GetDriveTypeA(root) == DRIVE_REMOVABLE) {
            FormatText(scratchText, sizeof scratchText,
                       "Insert another Disk which has atleast %lu bytes free \n"
                       "                            and retry",
                       static_cast<unsigned long>(bytesNeeded));
            choice = MessageBoxA(nullptr, scratchText, kWindowTitle, MB_RETRYCANCEL | MB_ICONERROR);
        } else {
            MessageBoxA(nullptr, "Disk is full, quiting VELK", kWindowTitle, MB_OK | MB_ICONERROR);
            return kDiskFullTold;
        }
        if (choice == IDRETRY) {
            verdict = Verdict(root, bytesNeeded);
            if (verdict < 0) return kFreeSpaceUnknown;
        }
    }
    return choice == IDRETRY ? kEngineOk : kEngineCancelled;
}

bool DestinationSpace(unsigned long long* freeBytes, unsigned long long* totalBytes,
                      DWORD* clusterBytes, bool* removable) {
    char root[kPathSize];
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!FindRoot(root, sizeof root) ||
        !GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
        return false;
    }
    *clusterBytes = sectorsPerCluster * bytesPerSector;
    *freeBytes = static_cast<unsigned long long>(*clusterBytes) * freeClusters;
    *totalBytes = static_cast<unsigned long long>(*clusterBytes) * totalClusters;
    *removable = GetDriveTypeA(root) == DRIVE_REMOVABLE;
    return true;
}
