#include "recovery/join_repair.h"

#include "core/app_state.h"

RepairReport lastJoinRepair = {};

bool RepairBeforeJoin(const JoinSet& set) {
    lastJoinRepair = RepairReport{};
    // Parts on disks that are changed never lie together: nothing to check here.
    if (set.removable) return true;
    RepairParts(set.folder[0] != '\0' ? set.folder : ".\\", set.name, &lastJoinRepair);
    char text[3 * kPathSize];
    switch (lastJoinRepair.outcome) {
    case RepairOutcome::TooDamaged:
        FormatText(text, sizeof text,
                   "%lu of the %lu parts of %s are missing or damaged: more than its recovery "
                   "volumes can rebuild (%lu part(s)).\nNothing was joined.",
                   static_cast<unsigned long>(lastJoinRepair.badParts),
                   static_cast<unsigned long>(lastJoinRepair.parts), set.name,
                   static_cast<unsigned long>(lastJoinRepair.partsCovered));
        MessageBoxA(nullptr, text, kWindowTitle, MB_OK | MB_ICONERROR);
        return false;
    case RepairOutcome::Cancelled:
        MessageBoxA(nullptr, "Cancelling File Join", kWindowTitle, MB_OK | MB_ICONWARNING);
        return false;
    case RepairOutcome::SessionEnds:
        return false;
    case RepairOutcome::Failed:
        // The join's own checks still name any part that is bad.
        FormatText(text, sizeof text,
                   "The recovery volumes of %s could not be used to rebuild its parts: a file "
                   "of the set could not be read or written.\nThe parts are joined as they are.",
                   set.name);
        MessageBoxA(nullptr, text, kWindowTitle, MB_OK | MB_ICONWARNING);
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
