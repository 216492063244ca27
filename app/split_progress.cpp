#include "app/split_progress.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "core/app_state.h"
#include "app/session_end.h"
#include "join/join_run.h"
#include "recovery/join_repair.h"
#include "recovery/recovery_writer.h"
#include "settings/settings_store.h"
#include "split/recovery_names.h"
#include "res/resource.h"
#include "split/merge_script.h"
#include "split/run_end.h"
#include "split/split_run.h"

namespace {
// The bar's scale: the source's bytes written, in thousandths.
constexpr int kBarRange = 1000;
// The waiting messages are handled at the first report that comes at least this
// long (microseconds) after they were last handled: each look at the queue is a
// round trip to the window system, too many to make for every part of a few hundred
// KB. The window thus answers within this time and one slice's.
constexpr ULONGLONG kPumpInterval = 50000;
// The part's text and the bar are each brought up to date at most this often, and
// never more often than keeps their own drawing under 1/kDrawCostShare of the run:
// a themed progress bar takes tens of milliseconds to draw on a slow machine or
// under an emulator, a fraction of one elsewhere. Each is timed as it is drawn.
// Still, a bar that stands still for seconds looks like a run that hangs: it is
// drawn at least once in kLongestDrawPause.
constexpr ULONGLONG kDrawInterval = 200000;
constexpr ULONGLONG kDrawCostShare = 200;
constexpr ULONGLONG kLongestDrawPause = 1000000;

// When one of the two may be drawn next.
struct DrawTimer {
    ULONGLONG next;
    bool Due(ULONGLONG now) const { return now >= next; }
    void Drawn(ULONGLONG start, ULONGLONG end) {
        ULONGLONG pause = (end - start) * kDrawCostShare;
        if (pause < kDrawInterval) pause = kDrawInterval;
        if (pause > kLongestDrawPause) pause = kLongestDrawPause;
        next = end + pause;
    }
};

HWND progressWindow = nullptr;
SplitProgressHook previousHook = nullptr;
bool cancelRequested = false;
ULONGLONG nextPump = 0;
DrawTimer partTimer = {0};
DrawTimer barTimer = {0};
ULONGLONG shownPart = 0;
int shownBar = -1;

ULONGLONG Microseconds() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0 && !QueryPerformanceFrequency(&frequency)) {
        frequency.QuadPart = 0;
    }
    LARGE_INTEGER now;
    // Without a performance counter, the tick count has to do.
    if (frequency.QuadPart == 0 || !QueryPerformanceCounter(&now)) {
        return static_cast<ULONGLONG>(GetTickCount()) * 1000;
    }
    // Whole seconds first: counts times a million would overflow at a high frequency.
    ULONGLONG count = static_cast<ULONGLONG>(now.QuadPart);
    ULONGLONG perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
    return count / perSecond * 1000000 + count % perSecond * 1000000 / perSecond;
}

// Each returns whether it drew anything.
bool ShowPart(const SplitProgress& progress) {
    if (progress.part == shownPart) return false;
    ULONGLONG start = Microseconds();
    char text[64];
    FormatText(text, sizeof text, "Part %llu of %llu", progress.part, progress.partCount);
    SetDlgItemTextA(progressWindow, IDC_PROGRESS_PART, text);
    shownPart = progress.part;
    partTimer.Drawn(start, Microseconds());
    return true;
}

// Thousandths of the source written; bytes times 1000 would wrap past 16 PiB.
int BarPosition(const SplitProgress& progress) {
    if (progress.fileSize == 0) return 0;
    if (progress.fileSize < (1ull << 50)) {
        return static_cast<int>(progress.bytesDone * kBarRange / progress.fileSize);
    }
    return static_cast<int>(progress.bytesDone / (progress.fileSize / kBarRange));
}

bool ShowBar(const SplitProgress& progress) {
    int bar = BarPosition(progress);
    if (bar == shownBar) return false;
    ULONGLONG start = Microseconds();
    SendDlgItemMessageA(progressWindow, IDC_PROGRESS_BAR, PBM_SETPOS, bar, 0);
    shownBar = bar;
    barTimer.Drawn(start, Microseconds());
    return true;
}

// Everything waiting in the thread's queue, as the modal loop that the run
// interrupts would handle it: the main window (disabled for the run, so it takes no
// input) still paints, moves and hears its tray icon, and holds off commands as ever.
// Returns the time it ended.
ULONGLONG PumpWaitingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not this loop's to take: left for the loop that runs the program.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (progressWindow != nullptr && IsDialogMessageA(progressWindow, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    ULONGLONG now = Microseconds();
    nextPump = now + kPumpInterval;
    return now;
}

// The split run's hook: before each part and after each slice. Returning false
// makes the run stop there, as cancelled.
bool OnSplitProgress(const SplitProgress& progress) {
    ULONGLONG now = Microseconds();
    if (now >= nextPump) now = PumpWaitingMessages();
    if (progressWindow != nullptr) {
        // The last part is shown as it begins, however short it is.
        bool lastPartBegins = progress.part == progress.partCount && progress.partDone == 0;
        bool drew = (partTimer.Due(now) || lastPartBegins) && ShowPart(progress);
        if (barTimer.Due(now) && ShowBar(progress)) drew = true;
        // What came in while drawing waits no longer than the drawing took.
        if (drew) PumpWaitingMessages();
    }
    // A hook set before the window opened still hears every report, and may stop the run.
    if (previousHook != nullptr && !previousHook(progress)) return false;
    return !cancelRequested;
}

// The recovery set's report: the bar starts again and follows its work.
bool OnRecoveryProgress(unsigned long long done, unsigned long long total) {
    ULONGLONG now = Microseconds();
    if (now >= nextPump) now = PumpWaitingMessages();
    if (progressWindow != nullptr && barTimer.Due(now)) {
        SplitProgress bar{appState.partCount, appState.partCount, 0, 0,
                          static_cast<DWORD>(total == 0 ? 0 : done * kBarRange / total), kBarRange};
        if (ShowBar(bar)) PumpWaitingMessages();
    }
    return !cancelRequested;
}

// The join's check against the recovery volumes: the bar follows it, and the
// part's text comes back as the copy begins.
bool OnRepairProgress(unsigned long long done, unsigned long long total) {
    if (progressWindow != nullptr && shownPart != 0) {
        SetDlgItemTextA(progressWindow, IDC_PROGRESS_PART, "Recovery volumes");
        shownPart = 0;
    }
    return OnRecoveryProgress(done, total);
}

void OnCancel(HWND window) {
    cancelRequested = true;
    // Taken: the run ends after the slice under way.
    EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
}

// Centred over the owner, where the user's eyes are; on the screen (DS_CENTER)
// when the owner is not to be seen.
void PlaceOverOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner == nullptr || !IsWindowVisible(owner) || IsIconic(owner)) return;
    RECT ownerRect;
    RECT rect;
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(window, &rect);
    int x = (ownerRect.left + ownerRect.right - (rect.right - rect.left)) / 2;
    int y = (ownerRect.top + ownerRect.bottom - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnInitDialog(HWND window) {
    progressWindow = window;
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, kBarRange));
    SplitProgress start{1, appState.partCount, 0, 0, 0, appState.fileSize};
    ShowPart(start);
    ShowBar(start);
    PlaceOverOwner(window);
}

INT_PTR CALLBACK ProgressDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;  // the focus goes to Cancel, the only control that takes it
    case WM_COMMAND:
        // Escape arrives as IDCANCEL too.
        if (LOWORD(wParam) == IDCANCEL) OnCancel(window);
        return TRUE;
    default:
        return FALSE;
    }
}
}  // namespace

void OpenSplitProgress(HWND owner) {
    InitCommonControls();  // the progress bar's class
    cancelRequested = false;
    shownPart = 0;
    shownBar = -1;
    progressWindow = nullptr;
    HWND window = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_SPLIT_PROGRESS), owner,
                                     ProgressDlgProc, 0);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    // Without the window the run still keeps the program answering; only Cancel is
    // missing. What came in while the window opened is handled now, and again as
    // the first part begins, before the run's first slice.
    PumpWaitingMessages();
    nextPump = 0;
    previousHook = splitProgressHook;
    splitProgressHook = OnSplitProgress;
}

void CloseSplitProgress() {
    splitProgressHook = previousHook;
    previousHook = nullptr;
    if (progressWindow != nullptr) DestroyWindow(progressWindow);
    progressWindow = nullptr;
}

bool SplitWithProgress(HWND owner) {
    HoldSessionEnd(owner, "Splitting");
    OpenSplitProgress(owner);
    lastRecoverySet = RecoverySetReport{0, 0, 0, false};
    DWORD losses = appState.settings != nullptr ? appState.settings->GetRecoveryParts() : 0;
    bool succeeded = SplitFile();
    if (succeeded && losses != 0) {
        if (progressWindow != nullptr) {
            SetDlgItemTextA(progressWindow, IDC_PROGRESS_PART, "Recovery volumes");
        }
        recoveryProgressHook = OnRecoveryProgress;
        succeeded = WriteRecoverySet(losses);
        recoveryProgressHook = nullptr;
        if (!succeeded) {
            // What failed is recorded where it failed; this says it only for what was not.
            StopAsFailed("The Recovery Volumes could not be written", appState.destDir);
            ShowRunEnd();
        }
    }
    scriptRecoveryParts = succeeded ? lastRecoverySet.partsCovered : 0;
    succeeded = succeeded && WriteMergeScript();
    // A run that did not end well leaves no set of its own.
    if (!succeeded && lastRecoverySet.partsCovered != 0) {
        RemoveRecoveryFiles(appState.destDir, PathFindFileNameA(appState.sourcePath));
        lastRecoverySet = RecoverySetReport{0, 0, 0, false};
    }
    CloseSplitProgress();
    ReleaseSessionEnd();
    return succeeded;
}

bool JoinWithProgress(HWND owner) {
    HoldSessionEnd(owner, "Joining");
    OpenSplitProgress(owner);
    // Parts missing or damaged are rebuilt from the recovery volumes beside them,
    // or, from disks, after the others from the volumes' disks.
    joinBeforeCopyHook = RepairBeforeJoin;
    joinLeftOutHook = RebuildLeftOutParts;
    repairProgressHook = OnRepairProgress;
    bool succeeded = JoinFile();
    joinBeforeCopyHook = nullptr;
    joinLeftOutHook = nullptr;
    repairProgressHook = nullptr;
    CloseSplitProgress();
    ReleaseSessionEnd();
    return succeeded;
}
