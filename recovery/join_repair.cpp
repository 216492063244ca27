#include "recovery/join_repair.h"

#include "core/app_state.h"
#include "split/recovery_names.h"

RepairReport lastJoinRepair = {RepairOutcome::NoSet, 0, 0, 0, 0, 0, 0, {}};

namespace {
char gathered[kPathSize];  // the folder the recovery files are copied into, while it is there
const char* gatheredName = nullptr;
bool sessionEnded = false;

void RefuseTooDamaged(const char* name) {
    char text[3 * kPathSize];
    FormatText(text, sizeof text,
               "%lu of the %lu parts of %s are missing or damaged: more than its recovery "
               "volumes can rebuild (%lu part(s)).\nNothing was joined.",
               static_cast<unsigned long>(lastJoinRepair.badParts),
               static_cast<unsigned long>(lastJoinRepair.parts), name,
               static_cast<unsigned long>(lastJoinRepair.partsCovered));
    MessageBoxA(nullptr, text, kWindowTitle, MB_OK | MB_ICONERROR);
}

void SayCancelled() {
    MessageBoxA(nullptr, "Cancelling File Join", kWindowTitle, MB_OK | MB_ICONWARNING);
}

// The set could not be read or written; `then` says what the join does about it.
void SayUnusable(const char* name, const char* then, UINT icon) {
    char text[3 * kPathSize];
    FormatText(text, sizeof text,
               "The recovery volumes of %s could not be used to rebuild its parts: a file "
               "of the set could not be read or written.\n%s",
               name, then);
    MessageBoxA(nullptr, text, kWindowTitle, MB_OK | icon);
}

void RemoveGathered() {
    if (gathered[0] == '\0') return;
    RemoveRecoveryFiles(gathered, gatheredName);
    RemoveDirectoryA(gathered);
    gathered[0] = '\0';
}

// A new, empty folder beside the joined file.
bool MakeGatheredFolder() {
    if (GetTempFileNameA(appState.destDir, "vlk", 0, gathered) == 0) {
        gathered[0] = '\0';
        return false;
    }
    if (!DeleteFileA(gathered) || !CreateDirectoryA(gathered, nullptr)) {
        gathered[0] = '\0';
        return false;
    }
    if (!AddBackslash(gathered)) {
        RemoveDirectoryA(gathered);
        gathered[0] = '\0';
        return false;
    }
    return true;
}

// Copies the set's recovery files on the disk in the drive into the folder.
bool GatherFromDrive(const JoinSet& set) {
    char pattern[kPathSize];
    if (!FormatText(pattern, sizeof pattern, "%s%s.*par2", set.folder, set.name)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsRecoveryFileName(found.cFileName, set.name)) {
            continue;
        }
        char from[kPathSize], to[kPathSize];
        ok = FormatText(from, sizeof from, "%s%s", set.folder, found.cFileName) &&
             FormatText(to, sizeof to, "%s%s", gathered, found.cFileName) &&
             CopyFileA(from, to, FALSE);
    } while (ok && FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

// The rebuild from what was gathered so far; Retry asks for another disk.
bool RebuildFromGathered(const JoinSet& set, HANDLE joined, unsigned long long partLength) {
    for (;;) {
        if (!GatherFromDrive(set)) {
            lastJoinRepair.outcome = RepairOutcome::Failed;
        } else {
            RepairJoinedParts(gathered, set.name, joined, partLength, &lastJoinRepair);
        }
        if (sessionEnded) return false;
        char text[3 * kPathSize];
        switch (lastJoinRepair.outcome) {
        case RepairOutcome::Whole:
        case RepairOutcome::Rebuilt:
            return true;
        case RepairOutcome::Cancelled:
            SayCancelled();
            return false;
        case RepairOutcome::SessionEnds:
            return false;
        case RepairOutcome::Failed:
            SayUnusable(set.name, "Nothing was joined.", MB_ICONERROR);
            return false;
        default:  // no set yet, or too little of it: more may be on another disk
            break;
        }
        FormatText(text, sizeof text, "Insert the disk with the recovery volumes of %s and retry",
                   set.name);
        if (MessageBoxA(nullptr, text, kWindowTitle, MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY &&
            !sessionEnded) {
            continue;
        }
        if (sessionEnded) return false;
        if (lastJoinRepair.outcome == RepairOutcome::TooDamaged) {
            RefuseTooDamaged(set.name);
        } else {
            SayCancelled();
        }
        return false;
    }
}
}  // namespace

bool RebuildLeftOutParts(const JoinSet& set, HANDLE joined, unsigned long long partLength) {
    sessionEnded = false;
    gatheredName = set.name;
    if (!MakeGatheredFolder()) {
        char text[3 * kPathSize];
        FormatText(text, sizeof text, "Error Creating a Folder for the Recovery Volumes\n%s",
                   appState.destDir);
        MessageBoxA(nullptr, text, kWindowTitle, MB_OK | MB_ICONERROR);
        return false;
    }
    bool rebuilt = RebuildFromGathered(set, joined, partLength);
    RemoveGathered();
    return rebuilt;
}

void EndJoinRepairAsSessionEnds() {
    sessionEnded = true;
    RemoveGathered();
}

bool RepairBeforeJoin(const JoinSet& set) {
    lastJoinRepair = RepairReport{};
    lastJoinRepair.outcome = RepairOutcome::NoSet;
    // Parts on disks that are changed never lie together: nothing to check here.
    if (set.removable) return true;
    RepairParts(set.folder[0] != '\0' ? set.folder : ".\\", set.name, &lastJoinRepair);
    switch (lastJoinRepair.outcome) {
    case RepairOutcome::TooDamaged:
        RefuseTooDamaged(set.name);
        return false;
    case RepairOutcome::Cancelled:
        SayCancelled();
        return false;
    case RepairOutcome::SessionEnds:
        return false;
    case RepairOutcome::Failed:
        // The join's own checks still name any part that is bad.
        SayUnusable(set.name, "The parts are joined as they are.", MB_ICONWARNING);
        lastJoinRepair.rebuiltCount = 0;
        return true;
    default:
        return true;
    }
}

bool FormatRebuiltParts(char* text, std::size_t capacity) {
    DWORD count = lastJoinRepair.outcome == RepairOutcome::Rebuilt ? lastJoinRepair.rebuiltCount : 0;
    if (count == 0 || capacity == 0) return false;
    text[0] = '\0';
    DWORD listed = count < kRebuiltListed ? count : kRebuiltListed;
    std::size_t used = 0;
    DWORD shown = 0;
    // Room is kept for the tail that counts the parts not shown.
    for (; shown < listed; ++shown) {
        char number[16];
        FormatText(number, sizeof number, "%s%lu", shown == 0 ? "" : ", ",
                   static_cast<unsigned long>(lastJoinRepair.rebuilt[shown]));
        std::size_t length = lstrlenA(number);
        if (used + length + 24 >= capacity) break;
        CopyText(text + used, capacity - used, number);
        used += length;
    }
    if (shown < count) {
        FormatText(text + used, capacity - used, ", and %lu more",
                   static_cast<unsigned long>(count - shown));
    }
    return true;
}
