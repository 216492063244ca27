#include "app/main_window.h"

#include <shlwapi.h>

#include <cstring>

#include "about/about_dialog.h"
#include "core/app_state.h"
#include "app/custom_size.h"
#include "app/file_drop.h"
#include "app/join_mode.h"
#include "app/pickers.h"
#include "app/session_end.h"
#include "app/split_progress.h"
#include "app/command_line.h"
#include "app/tray.h"
#include "dest/validate_destination.h"
#include "recovery/recovery_writer.h"
#include "res/resource.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "split/format_size.h"
#include "split/merge_script.h"
#include "split/split_names.h"
#include "split/split_run.h"

namespace {
struct SizeChoice {
    const char* text;
    DWORD bytes;
};

// The presets of the size box, in list order; "Custom Size" follows them. The
// largest is the largest file a FAT32 stick or memory card holds.
constexpr SizeChoice kPresets[] = {
    {"256 KB", 262144}, {"512 KB", 524288},
    {"1 MB", 1048576},  {"1.44 MB (Floppy Disk)", kFloppySplitSize},
    {"2 MB", 2097152},  {"3 MB", 3145728},
    {"4 GB (FAT32)", kLargestSplitSize},
};
constexpr int kPresetCount = sizeof kPresets / sizeof kPresets[0];
constexpr int kFloppyIndex = 3;
constexpr int kCustomIndex = kPresetCount;
constexpr char kCustomSizeText[] = "Custom Size";

constexpr INT_PTR kCustomSizeAccepted = 0;

// The size box's selection when the run began, put back if anything moves it meanwhile.
LRESULT sizeIndexOfRun = kFloppyIndex;
// The last file handed off while the window was busy (a run, or an earlier hand-off
// still loading behind a box of its own), taken once it is free.
char pendingHandOff[kPathSize] = "";
// Set when a path handed off while the window was busy was too long: its box waits.
bool pendingTooLong = false;
// True while a handed-off file loads; a box it shows lets further hand-offs in.
bool handOffLoading = false;
// True while ValidateDestination runs, so that its own boxes do not start another check.
bool destinationCheckRunning = false;
// Set once the window is being closed: the focus that leaves the boxes then is no leave.
bool windowClosing = false;

HWND Control(HWND window, int id) { return GetDlgItem(window, id); }

// Brings the window back from wherever it is, as a later start asks.
void BringWindowBack(HWND window) {
    WindowState state = appState.windowState;
    // Minimised by other means than the system command (the shell's "show the
    // desktop"), the window would stay an icon if merely shown.
    if (state == WindowState::Normal && IsIconic(window)) state = WindowState::Minimized;
    switch (state) {
    case WindowState::Minimized:
        // The system-command branch records the restore; the platform does it.
        SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        break;
    case WindowState::InTray:
        AnimateTray(window, false);
        SetTrayIcon(window, false);
        appState.windowState = WindowState::Normal;
        break;
    case WindowState::Normal:
    default:
        ShowWindow(window, SW_SHOW);
        // A box of the window's own that is up (About, a message) stays in front.
        SetActiveWindow(GetLastActivePopup(window));
        SetForegroundWindow(GetLastActivePopup(window));
        break;
    }
}

// The top-level window that holds a control (GetAncestor is missing on Windows 95).
HWND TopLevelOf(HWND control) {
    while (control != nullptr && (GetWindowLongA(control, GWL_STYLE) & WS_CHILD)) {
        control = GetParent(control);
    }
    return control;
}

// True when the keyboard focus leaving a box of the form is a real leave: to another
// control of the window or away to another application. Not when one of the window's
// own message boxes or dialogs takes it as it opens (it disables the window, and the
// focus then lies in another top-level window of this thread), and not while the
// window is going away.
bool FocusLeftTheForm(HWND window) {
    if (windowClosing || !IsWindowEnabled(window)) return false;
    HWND focus = GetFocus();
    if (focus != nullptr && TopLevelOf(focus) != window) return false;
    HWND active = GetActiveWindow();
    return active == nullptr || active == window;
}

// The path typed into a box, read whole into path; false when it is longer than
// Windows allows (path is then empty). One byte beyond the buffer tells a text
// that did not fit: no path of 259 characters takes that many bytes.
bool ReadPathBox(HWND window, int id, char (&path)[kPathSize]) {
    char text[kPathSize + 1] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    path[0] = '\0';
    return CopyPath(path, text);
}

bool SourceExists() {
    return appState.sourcePath[0] != '\0' && PathFileExistsA(appState.sourcePath);
}

void SelectSize(HWND window, LRESULT index) {
    SendMessageA(Control(window, IDC_SIZE_BOX), CB_SETCURSEL, index, 0);
}

// The destination that follows the source: its leading part up to the last
// separator, the drive alone for "C:name", nothing for a bare name. The shell's
// helper steps by character, so the second byte of 表 is no separator.
void DefaultDestinationFromSource() {
    const char* path = appState.sourcePath;
    std::size_t keep = PathFindFileNameA(path) - path;
    CopyText(appState.destDir, keep + 1, path);
}

void OnInitDialog(HWND window) {
    windowClosing = false;
    appState.windowState = WindowState::Normal;
    SetPropA(window, kMainWindowMark, reinterpret_cast<HANDLE>(1));
    SetClassLongPtrA(window, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_VELK))));
    SetClassLongPtrA(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(SmallProgramIcon()));
    ScaleIconsToDialog(window, IDI_VELK);

    HWND sizeBox = Control(window, IDC_SIZE_BOX);
    for (const SizeChoice& preset : kPresets) {
        SendMessageA(sizeBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.text));
    }
    SendMessageA(sizeBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kCustomSizeText));
    SelectSize(window, kFloppyIndex);
    ForgetChosenParts();

    HWND destBox = Control(window, IDC_DEST_BOX);
    char entry[kPathSize] = "";
    bool more = appState.settings->NextRecentDir(entry, RecentFirst);
    while (more) {
        if (entry[0] != '\0') {
            SendMessageA(destBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        }
        // An entry that cannot be read leaves the buffer as it was: not listed twice.
        entry[0] = '\0';
        more = appState.settings->NextRecentDir(entry, RecentNext);
    }
    if (appState.settings->GetUseMru()) {
        SendMessageA(destBox, CB_SETCURSEL, 0, 0);
        GetDlgItemTextA(window, IDC_DEST_BOX, appState.destDir, kPathSize);
    }

    if (appState.sourcePath[0] != '\0') {
        LoadSourceFile(window);
    } else {
        SetFocus(Control(window, IDC_SOURCE_BOX));
    }
}

void OnSourceBoxLeft(HWND window) {
    if (!FocusLeftTheForm(window)) return;
    // A path that cannot be taken is said so and left empty: Split then asks for one.
    if (!ReadPathBox(window, IDC_SOURCE_BOX, appState.sourcePath)) {
        ShowPathTooLong(window);
        return;
    }
    if (!SourceExists()) return;
    if (InJoinMode()) {
        ShowJoinMode(window);
        return;
    }
    ShowSplitMode(window);
    ShowFileSize(window);
    ShowPartInfo(window);
}

// Runs the destination check when the user leaves the destination box; once at a
// time, and not when one of the window's own boxes merely took the focus.
void OnDestinationBoxLeft(HWND window) {
    if (destinationCheckRunning || !FocusLeftTheForm(window)) return;
    // Focus given to the combo box while its edit field has it passes through the
    // combo box itself: that is no leave either.
    HWND destBox = Control(window, IDC_DEST_BOX);
    HWND focus = GetFocus();
    if (focus == destBox || IsChild(destBox, focus)) return;
    destinationCheckRunning = true;
    if (ReadPathBox(window, IDC_DEST_BOX, appState.destDir)) {
        ValidateDestination(window, appState.destDir);
    } else {
        ShowPathTooLong(window);
    }
    destinationCheckRunning = false;
}

void SelectPresetOfSplitSize(HWND window) {
    for (int i = 0; i < kPresetCount; ++i) {
        if (kPresets[i].bytes == appState.splitSize) {
            SelectSize(window, i);
            return;
        }
    }
}

void OnSizeChosen(HWND window) {
    LRESULT index = SendMessageA(Control(window, IDC_SIZE_BOX), CB_GETCURSEL, 0, 0);
    if (index >= 0 && index < kPresetCount) {
        appState.splitSize = kPresets[index].bytes;
        ForgetChosenParts();
    } else if (index == kCustomIndex) {
        INT_PTR result = DialogBoxParamA(appInstance, "CUSTOMSIZE", window, CustomSizeDlgProc, 0);
        // A number of parts chosen before stays the choice: "Custom Size" with it.
        if (result != kCustomSizeAccepted && ChosenParts() == 0) SelectPresetOfSplitSize(window);
    } else {
        return;
    }
    if (SourceExists()) ShowPartInfo(window);
}

void OnSourceBrowse(HWND window) {
    if (PickSourceFile(window, appState.sourcePath)) LoadSourceFile(window);
}

void OnDestinationBrowse(HWND window) {
    if (PickDestinationFolder(window, appState.destDir)) {
        SetDlgItemTextA(window, IDC_DEST_BOX, appState.destDir);
    }
}

void ShowSummary(HWND window) {
    AddBackslash(appState.destDir);
    // Name and directory may each be 259 characters: more than scratchText holds.
    char summary[3 * kPathSize];
    FormatText(summary, sizeof summary,
               "File\t : %s Split Successfully\n#Parts\t : %llu part(s) \nTarget Dir\t : %s",
               PathFindFileNameA(appState.sourcePath), appState.partCount, appState.destDir);
    // With a recovery set: how many parts it can rebuild, and on removable disks
    // how many disks it took beyond the parts'.
    char recovery[128] = "";
    if (lastRecoverySet.partsCovered != 0) {
        FormatText(recovery, sizeof recovery, "\nRecovery\t : any %lu lost part(s) can be rebuilt",
                   static_cast<unsigned long>(lastRecoverySet.partsCovered));
        if (lastRecoverySet.removable) {
            std::size_t used = std::strlen(recovery);
            FormatText(recovery + used, sizeof recovery - used, ", %lu more disk(s)",
                       static_cast<unsigned long>(lastRecoverySet.extraDisks));
        }
    }
    std::size_t used = std::strlen(summary);
    FormatText(summary + used, sizeof summary - used, "%s", recovery);
    ShowMessage(window, summary, MB_OK);
}

// A hand-off taken in: the window comes back, and a path that still names an
// existing file or directory (null for none) loads as the source.
void ReceiveHandOff(HWND window, const char* path) {
    BringWindowBack(window);
    if (path == nullptr || !PathFileExistsA(path)) return;
    CopyText(appState.sourcePath, path);
    LoadSourceFile(window);
}

// Files handed off while the window was busy arrive now, as if handed off at this
// moment; one that comes while these load waits in turn.
void TakePendingHandOff(HWND window) {
    handOffLoading = true;
    while (pendingTooLong) {
        pendingTooLong = false;
        BringWindowBack(window);
        ShowPathTooLong(window);
    }
    while (pendingHandOff[0] != '\0') {
        char path[kPathSize];
        CopyText(path, pendingHandOff);
        pendingHandOff[0] = '\0';
        ReceiveHandOff(window, path);
    }
    handOffLoading = false;
}

// The run's own boxes have no owner, so the window is disabled for the run's whole
// length: nothing may change AppState or start a second run before it ends.
void OnSplit(HWND window) {
    if (!ValidateInputs(window)) return;
    appState.runActive = true;
    sizeIndexOfRun = SendMessageA(Control(window, IDC_SIZE_BOX), CB_GETCURSEL, 0, 0);
    EnableWindow(window, FALSE);
    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));

    bool joining = InJoinMode();
    bool succeeded = joining ? JoinWithProgress(window) : SplitWithProgress(window);

    EnableWindow(window, TRUE);
    // A closing ownerless box cannot hand the activation back to a disabled window.
    if (GetActiveWindow() != window) SetForegroundWindow(window);
    if (GetFocus() == nullptr) SetFocus(Control(window, IDC_SPLIT));
    if (succeeded) {
        if (joining) {
            ShowJoinSummary(window);
        } else {
            ShowSummary(window);
        }
        appState.settings->AddRecentDir(appState.destDir);
        ResetForm(window);
    } else if (!joining) {  // a failed join leaves the form: the first disk may be out
        // The run may have measured the source again: show the size and count it used.
        ShowFileSizeText(window);
        ShowPartInfo(window);
    }
    SetCursor(previousCursor);
    appState.runActive = false;
    TakePendingHandOff(window);
}

void EndProgram(HWND window) {
    // The modal loop ends with the quit message that WM_DESTROY posts, not EndDialog.
    PostMessageA(window, WM_DESTROY, 0, 0);
}

// During a run every command is held off; a size picked meanwhile is taken back.
void OnCommandDuringRun(HWND window, int id, int code) {
    if (id == IDC_SIZE_BOX && code == CBN_SELCHANGE) SelectSize(window, sizeIndexOfRun);
}

void OnCommand(HWND window, int id, int code) {
    if (appState.runActive) {
        OnCommandDuringRun(window, id, code);
        return;
    }
    switch (id) {
        case IDC_ABOUT:
            if (code == BN_CLICKED) {
                DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDlgProc, 0);
            }
            break;
        case IDC_SPLIT:
            if (code == BN_CLICKED) OnSplit(window);
            break;
        case IDC_HELPBUTTON:
            if (code == BN_CLICKED) OpenHelpFile(window);
            break;
        case IDC_BROWSE_SOURCE:
            if (code == BN_CLICKED) OnSourceBrowse(window);
            break;
        case IDC_BROWSE_DEST:
            if (code == BN_CLICKED) OnDestinationBrowse(window);
            break;
        case IDC_SOURCE_BOX:
            if (code == EN_KILLFOCUS) OnSourceBoxLeft(window);
            break;
        case IDC_SIZE_BOX:
            if (code == CBN_SELCHANGE) OnSizeChosen(window);
            break;
        case IDC_CLOSE:
            if (code == BN_CLICKED) EndProgram(window);
            break;
        case IDC_CUSTOMIZE:
            if (code == BN_CLICKED) ShowPreferences(window);
            break;
        case IDC_DEST_BOX:
            if (code == CBN_KILLFOCUS) OnDestinationBoxLeft(window);
            break;
        default:
            // IDOK and IDCANCEL (Enter and Esc) among them.
            break;
    }
}
}  // namespace

// The receiving side of the single-instance hand-off: a later start's argument.
INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != kHandOffTag) return FALSE;
    // Only a text that ends within the bytes received is a hand-off; anything else
    // is refused before a byte of it is read beyond what was sent.
    if (data->lpData == nullptr || data->cbData == 0) return FALSE;
    const char* text = static_cast<const char*>(data->lpData);
    if (std::memchr(text, '\0', data->cbData) == nullptr) return FALSE;

    char path[kPathSize];
    ArgumentNames named = PathFromArgument(text, path);
    // The later start waits for the answer: it gets it before a box may come up.
    // The record it sent goes with the answer; the path is our own copy.
    ReplyMessage(FALSE);
    // A split under way keeps its source and its prompt on top of the disabled
    // window, and a file still loading keeps its box: this file waits its turn,
    // the last one handed off winning.
    if (named == ArgumentNames::ExistingPath) CopyText(pendingHandOff, path);
    if (named == ArgumentNames::TooLongPath) pendingTooLong = true;
    if (appState.runActive || handOffLoading) return FALSE;
    if (named != ArgumentNames::Nothing) {
        TakePendingHandOff(window);
    } else {
        BringWindowBack(window);
    }
    return FALSE;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            return FALSE;  // the focus is set by OnInitDialog
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            if (!appState.runActive) EndProgram(window);
            return FALSE;
        case WM_DESTROY:
            windowClosing = true;
            RemovePropA(window, kMainWindowMark);
            PostQuitMessage(0);
            return FALSE;
        case WM_COPYDATA:
            return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_DROPFILES:
            OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
            return FALSE;
        case WM_SYSCOMMAND:
            return OnSysCommand(window, wParam);
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(window);
        case WM_ENDSESSION:
            return OnEndSession(wParam);
        default:
            if (message == kTrayMessage) return OnTrayMessage(window, lParam);
            OnTaskbarCreated(window, message);  // a restarted shell: the tray icon again
            return FALSE;
    }
}

bool ValidateInputs(HWND window) {
    HWND sourceBox = Control(window, IDC_SOURCE_BOX);
    HWND destBox = Control(window, IDC_DEST_BOX);
    if (appState.sourcePath[0] == '\0') {
        ShowMessage(window, "Select a File to Split", MB_ICONINFORMATION);
        SetFocus(sourceBox);
        return false;
    }
    if (!PathFileExistsA(appState.sourcePath)) {
        ShowMessage(window, "File does not Exist", MB_ICONINFORMATION);
        SetFocus(sourceBox);
        SendMessageA(sourceBox, EM_SETSEL, 0, -1);
        return false;
    }
    if (appState.destDir[0] == '\0') {
        ShowMessage(window, "Select a Destination Folder", MB_ICONINFORMATION);
        SetFocus(destBox);
        return false;
    }
    if (!PathIsDirectoryA(appState.destDir)) {
        ShowMessage(window, "Directory not Valid / Insert Disk & Retry", MB_ICONINFORMATION);
        SetFocus(destBox);
        SendMessageA(destBox, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        return false;
    }
    // Every file of the split must be nameable before the first part is written.
    char longest[3 * kPathSize];
    if (!SplitNamesFit(longest, sizeof longest, appState.settings->GetRecoveryParts())) {
        char message[sizeof longest + 256];
        FormatText(message, sizeof message,
                   "The files of this split would have paths longer than Windows allows "
                   "(259 characters), such as\n%s\n\nChoose a shorter destination folder, "
                   "or give the file a shorter name.",
                   longest);
        ShowMessage(window, message, MB_ICONINFORMATION);
        SetFocus(destBox);
        SendMessageA(destBox, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        return false;
    }
    return true;
}

namespace {
// A number of parts chosen for an earlier source divides this one; when that many
// parts cannot hold it, the user is told and the choice ends (the size stays).
void FollowChosenParts(HWND window) {
    DWORD parts = ChosenParts();
    if (parts == 0) return;
    ULONGLONG size = EqualPartSize(appState.fileSize, parts);
    if (size <= kLargestSplitSize) {
        appState.splitSize = static_cast<DWORD>(size);
        return;
    }
    ForgetChosenParts();
    char text[kPathSize];
    FormatTooFewPartsText(text, sizeof text, parts);
    ShowMessage(window, text, MB_OK | MB_ICONINFORMATION);
}
}  // namespace

void ShowFileSize(HWND window) {
    HANDLE file = CreateFileA(appState.sourcePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ShowMessage(window, "Error Opening File", MB_OK);
        return;
    }
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    // A low part of all ones reads as INVALID_FILE_SIZE too; only the error code
    // tells a failed query.
    bool queryFailed = low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR;
    CloseHandle(file);
    if (queryFailed) {
        appState.fileSize = INVALID_FILE_SIZE;
        ShowMessage(window, "Error Opening File", MB_OK);
        return;
    }
    appState.fileSize = static_cast<ULONGLONG>(high) << 32 | low;
    ShowFileSizeText(window);
    FollowChosenParts(window);
}

void ShowFileSizeText(HWND window) {
    char sizeText[20];
    FormatSize(appState.fileSize, sizeText);
    char label[kPathSize];
    FormatText(label, sizeof label, "File Size : %s", sizeText);
    SetDlgItemTextA(window, IDC_FILE_SIZE_TEXT, label);
}

void ShowPartInfo(HWND window) {
    ComputePartCount();
    char text[48];  // room for the longest count, 20 digits
    FormatText(text, sizeof text, "Num of Split Parts : %llu", appState.partCount);
    SetDlgItemTextA(window, IDC_PART_COUNT_TEXT, text);
    FormatSize(appState.splitSize, text);
    char label[kPathSize];
    FormatText(label, sizeof label, "Split Size : %s", text);
    SetDlgItemTextA(window, IDC_SPLIT_SIZE_TEXT, label);
}

void LoadSourceFile(HWND window) {
    SetDlgItemTextA(window, IDC_SOURCE_BOX, appState.sourcePath);
    if (InJoinMode()) {
        ShowJoinMode(window);
    } else {
        ShowSplitMode(window);
        ShowFileSize(window);
        if (appState.sourcePath[0] == '\0') {  // refused: the form stays without a source
            SetFocus(Control(window, IDC_SOURCE_BOX));
            return;
        }
        ShowPartInfo(window);
    }
    if (!appState.settings->GetUseMru()) {
        DefaultDestinationFromSource();
        SetDlgItemTextA(window, IDC_DEST_BOX, appState.destDir);
    }
    SetFocus(Control(window, IDC_SPLIT));
}

void ResetForm(HWND window) {
    ShowSplitMode(window);
    appState.fileSize = 0;
    SetDlgItemTextA(window, IDC_FILE_SIZE_TEXT, "File Size : 0KB");
    appState.splitSize = kFloppySplitSize;
    ForgetChosenParts();
    SelectSize(window, kFloppyIndex);
    SetDlgItemTextA(window, IDC_SPLIT_SIZE_TEXT, "Split Size : 1.38MB");
    appState.partCount = 0;
    SetDlgItemTextA(window, IDC_PART_COUNT_TEXT, "Num of Split Parts : 0");
    appState.sourcePath[0] = '\0';
    SetDlgItemTextA(window, IDC_SOURCE_BOX, "");
    SetFocus(Control(window, IDC_SOURCE_BOX));
}
