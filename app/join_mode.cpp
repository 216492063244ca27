#include "app/join_mode.h"

#include <shlwapi.h>

#include "core/app_state.h"
#include "join/join_run.h"
#include "recovery/join_repair.h"
#include "res/resource.h"
#include "split/format_size.h"

namespace {
constexpr char kSplitLabel[] = "File to be Split";
constexpr char kJoinLabel[] = "First Part of a Set to be Joined";

// The label above the file box: the control created just before it, which has no
// identifier of its own in the template.
HWND SourceLabel(HWND window) {
    return GetWindow(GetDlgItem(window, IDC_SOURCE_BOX), GW_HWNDPREV);
}

void ShowMode(HWND window, bool joining) {
    SetDlgItemTextA(window, IDC_SPLIT, joining ? "Join" : "Split");
    SetWindowTextA(SourceLabel(window), joining ? kJoinLabel : kSplitLabel);
    EnableWindow(GetDlgItem(window, IDC_SIZE_BOX), !joining);
}
}  // namespace

bool InJoinMode() { return appState.sourcePath[0] != '\0' && IsFirstPart(appState.sourcePath); }

bool ShowJoinMode(HWND window) {
    JoinPreview preview;
    if (!PreviewJoin(appState.sourcePath, preview) || preview.parts == 0) {
        ShowMessage(window, "Error Opening File", MB_OK);
        return false;
    }
    ShowMode(window, true);
    appState.fileSize = preview.bytes;
    appState.partCount = preview.parts;
    char sizeText[20];
    FormatSize(preview.bytes, sizeText);
    char text[kPathSize];
    FormatText(text, sizeof text, "File Size : %s", sizeText);
    SetDlgItemTextA(window, IDC_FILE_SIZE_TEXT, text);
    FormatText(text, sizeof text, "Num of Split Parts : %llu", preview.parts);
    SetDlgItemTextA(window, IDC_PART_COUNT_TEXT, text);
    return true;
}

void ShowSplitMode(HWND window) { ShowMode(window, false); }

void ShowJoinSummary(HWND window) {
    AddBackslash(appState.destDir);
    JoinSet set;
    const char* name = OpenJoinSet(appState.sourcePath, set) ? set.name : "";
    char parts[kPathSize];
    char rebuilt[kPathSize + 64] = "";
    if (FormatRebuiltParts(parts, sizeof parts)) {
        FormatText(rebuilt, sizeof rebuilt, "\nRebuilt\t : part(s) %s from the recovery volumes",
                   parts);
    }
    // Parts checked against the recovery set were checked all the same.
    bool unchecked = JoinedWithoutList() && lastJoinRepair.outcome != RepairOutcome::Whole &&
                     lastJoinRepair.outcome != RepairOutcome::Rebuilt;
    // Name and directory may each be 259 characters: more than scratchText holds.
    char summary[6 * kPathSize];
    FormatText(summary, sizeof summary,
               "File\t : %s Joined Successfully\n#Parts\t : %llu part(s) \nTarget Dir\t : %s%s%s%s%s",
               name, static_cast<unsigned long long>(appState.partCount), appState.destDir, rebuilt,
               unchecked ? "\n\nThe contents were not checked: there was no list " : "",
               unchecked ? name : "", unchecked ? ".sha256 beside the parts." : "");
    CloseJoinSet(set);
    ShowMessage(window, summary, MB_OK);
}
