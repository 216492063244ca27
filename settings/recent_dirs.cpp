#include <cstring>

#include "core/app_state.h"
#include "settings/settings_store.h"

namespace {
constexpr DWORD kMaxRecentSlot = 7;
// One enumeration at a time, for the whole process.
bool recentStarted = false;  // recentStop is taken at the first NextRecentDir
DWORD recentStop = 0;
DWORD recentCursor = 0;
// Slots read since RecentFirst. No enumeration reads more than mruLimit slots,
// so it ends even if the cursor and stop slot were ever out of step.
constexpr DWORD kNoEnumeration = 0xFFFFFFFF;
DWORD recentReads = kNoEnumeration;
}  // namespace

void ResetRecentEnumeration() {
    recentStarted = false;
    recentStop = 0;
    recentCursor = 0;
    recentReads = kNoEnumeration;
}

bool SettingsStore::AddRecentDir(const char* dir) {
    if (dir == nullptr || dir[0] == '\0') return true;
    char text[kPathSize] = {};
    // Only a whole path is recorded: a cut one would name another folder.
    if (!CopyPath(text, dir)) return true;

    // A slot that cannot be read (unreadable, or holding no path) is someone's
    // entry all the same: it is left alone, never taken for empty.
    bool unreadable[kMaxRecentSlot + 1] = {};
    auto leftAlone = [&unreadable](DWORD slot) { return slot <= kMaxRecentSlot && unreadable[slot]; };
    DWORD start = mruDefault == 0 ? 1 : mruDefault;
    DWORD walk = start;
    // mruLimit steps take the walk once round the ring, back to its start.
    for (DWORD step = 0; step < mruLimit; ++step) {
        char slot[kPathSize] = {};
        DWORD status = GetRecentDir(slot, static_cast<int>(walk));
        // Slots outside the ring (a field set wrongly) read as empty, as they always did.
        bool readable = status == StatusOk || status == StatusNotFound || status == StatusBadIndex;
        if (walk <= kMaxRecentSlot) unreadable[walk] = !readable;
        if (readable && std::strcmp(slot, text) == 0) return true;  // no reordering
        if (readable && slot[0] == '\0') {
            SetRecentDir(text, static_cast<int>(walk));
            if (mruDefault != 0) {
                SetMruDefault(walk);
                mruDefault = walk;
            }
            return true;
        }
        walk = walk < mruLimit ? walk + 1 : 1;
    }

    // Every slot is taken: the one below the default index gets the directory, or
    // the next readable one below it.
    DWORD target = mruDefault == 1 ? mruLimit : (mruDefault == 0 ? 1 : mruDefault - 1);
    for (DWORD step = 1; step < mruLimit && leftAlone(target); ++step) {
        target = target == 1 ? mruLimit : target - 1;
    }
    if (leftAlone(target)) return true;  // none can be overwritten
    if (SetMruDefault(target)) {
        mruDefault = target;
        SetRecentDir(text, static_cast<int>(target));
    }
    return true;
}

bool SettingsStore::NextRecentDir(char* buffer, RecentMode mode) {
    if (!recentStarted) {
        recentStop = mruDefault;
        recentStarted = true;
    }
    if (mode == RecentFirst) {
        recentCursor = mruDefault;
        recentReads = 0;
    } else if (recentCursor == recentStop || recentReads >= mruLimit) {
        return false;
    }
    GetRecentDir(buffer, static_cast<int>(recentCursor));
    ++recentReads;
    recentCursor = recentCursor > 1 ? recentCursor - 1 : mruLimit;
    return true;
}
