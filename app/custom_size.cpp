#include "app/custom_size.h"

#include <shlwapi.h>

#include "core/app_state.h"
#include "res/resource.h"
#include "split/format_size.h"
#include "split/split_run.h"

namespace {
// The number of bytes typed so far; starts at 0 with every opening of the dialog.
DWORD enteredSize = 0;
// The number of parts accepted last; 0 for a size in bytes.
DWORD chosenParts = 0;
// True while the dialog writes into its own boxes: no typing of the user's.
bool fillingBoxes = false;

constexpr INT_PTR kSizeAccepted = 0;
constexpr INT_PTR kSizeCancelled = 1;

void SelectWholeBox(HWND dialog, int id = IDC_CUSTOM_SIZE_BOX) {
    HWND box = GetDlgItem(dialog, id);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
}

// Text that is no unsigned decimal number in range (empty, pasted letters, above
// 4294967295) reads as 0. Read here rather than with GetDlgItemInt, which on some
// systems takes "12ab" as 12 and can refuse 4294967295 after an overflowing read.
DWORD ReadNumberBox(HWND dialog, int id) {
    char text[32] = "";
    if (GetDlgItemTextA(dialog, id, text, sizeof text) >=
        static_cast<int>(sizeof text) - 1) {
        return 0;  // longer than any number in range
    }
    const char* p = text;
    while (*p == ' ') ++p;
    if (*p < '0' || *p > '9') return 0;
    unsigned long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    while (*p == ' ') ++p;
    return *p == '\0' ? static_cast<DWORD>(value) : 0;
}

void SetBoxText(HWND dialog, int id, const char* text) {
    fillingBoxes = true;
    SetDlgItemTextA(dialog, id, text);
    fillingBoxes = false;
}

void OnInitDialog(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_BOX, "0");
    SelectWholeBox(dialog);
    enteredSize = 0;
}

bool SourceLoaded() {
    return appState.sourcePath[0] != '\0' && PathFileExistsA(appState.sourcePath);
}

// A number of parts is given while its box holds text: the size box then shows the
// size of each part, worked out from the loaded source.
bool PartsGiven(HWND dialog) {
    return GetWindowTextLengthA(GetDlgItem(dialog, IDC_CUSTOM_PARTS_BOX)) > 0;
}

void ShowLabel(HWND dialog, ULONGLONG size) {
    char sizeText[20];
    FormatSize(size, sizeText);
    char label[kPathSize];
    FormatText(label, sizeof label, "Custom Size is : %s", sizeText);
    SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_LABEL, label);
}

void ShowEnteredSize(HWND dialog) {
    enteredSize = ReadNumberBox(dialog, IDC_CUSTOM_SIZE_BOX);
    ShowLabel(dialog, enteredSize);
}

void OnSizeTyped(HWND dialog) {
    if (fillingBoxes) return;
    // Bytes typed: the number of parts no longer applies.
    SetBoxText(dialog, IDC_CUSTOM_PARTS_BOX, "");
    ShowEnteredSize(dialog);
}

void OnPartsTyped(HWND dialog) {
    if (fillingBoxes) return;
    if (!PartsGiven(dialog)) {
        ShowEnteredSize(dialog);
        return;
    }
    if (!SourceLoaded()) {
        SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_LABEL, "Select a File to Split first");
        return;
    }
    DWORD parts = ReadNumberBox(dialog, IDC_CUSTOM_PARTS_BOX);
    ULONGLONG size = EqualPartSize(appState.fileSize, parts);
    char number[24];
    FormatText(number, sizeof number, "%llu", size);
    SetBoxText(dialog, IDC_CUSTOM_SIZE_BOX, number);
    if (size <= kLargestSplitSize) {
        ShowLabel(dialog, size);
        return;
    }
    char label[kPathSize];
    FormatText(label, sizeof label, "Parts over 4 GB: at least %llu Parts",
               EqualPartSize(appState.fileSize, kLargestSplitSize));
    SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_LABEL, label);
}

// Zero bytes, or zero parts: Retry goes back to the box the number came from.
void RefuseZero(HWND dialog, int box) {
    if (ShowMessage(dialog, "Split Size Cannot be 0 Bytes", MB_RETRYCANCEL) == IDRETRY) {
        SelectWholeBox(dialog, box);
    } else {
        EndDialog(dialog, kSizeCancelled);
    }
}

void Accept(HWND dialog, DWORD size, DWORD parts) {
    appState.splitSize = size;
    chosenParts = parts;
    EndDialog(dialog, kSizeAccepted);
}

void OnPartsOk(HWND dialog) {
    if (!SourceLoaded()) {
        ShowMessage(dialog, "Select a File to Split before choosing a Number of Parts",
                    MB_OK | MB_ICONINFORMATION);
        SelectWholeBox(dialog, IDC_CUSTOM_PARTS_BOX);
        return;
    }
    DWORD parts = ReadNumberBox(dialog, IDC_CUSTOM_PARTS_BOX);
    ULONGLONG size = EqualPartSize(appState.fileSize, parts);
    if (size == 0) {
        RefuseZero(dialog, IDC_CUSTOM_PARTS_BOX);
    } else if (size > kLargestSplitSize) {
        char text[kPathSize];
        FormatTooFewPartsText(text, sizeof text, parts);
        ShowMessage(dialog, text, MB_OK | MB_ICONINFORMATION);
        SelectWholeBox(dialog, IDC_CUSTOM_PARTS_BOX);
    } else {
        Accept(dialog, static_cast<DWORD>(size), parts);
    }
}

void OnOk(HWND dialog) {
    if (PartsGiven(dialog)) {
        OnPartsOk(dialog);
        return;
    }
    enteredSize = ReadNumberBox(dialog, IDC_CUSTOM_SIZE_BOX);
    if (enteredSize != 0) {
        Accept(dialog, enteredSize, 0);
    } else {
        RefuseZero(dialog, IDC_CUSTOM_SIZE_BOX);
    }
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
        case IDC_CUSTOM_SIZE_BOX:
            if (code == EN_CHANGE) OnSizeTyped(dialog);
            break;
        case IDC_CUSTOM_PARTS_BOX:
            if (code == EN_CHANGE) OnPartsTyped(dialog);
            break;
        case IDOK:
            OnOk(dialog);
            break;
        case IDC_CUSTOM_CANCEL:
            EndDialog(dialog, kSizeCancelled);
            break;
        default:
            // IDCANCEL (the Escape key) among them: the dialog stays open.
            break;
    }
}
}  // namespace

INT_PTR CALLBACK CustomSizeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return FALSE;  // keep the focus just given to the size box
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

DWORD ChosenParts() { return chosenParts; }

void ForgetChosenParts() { chosenParts = 0; }

void FormatTooFewPartsText(char* text, std::size_t capacity, DWORD parts) {
    FormatText(text, capacity,
               "Each of %lu Parts of this File would be larger than 4 GB (4294967295 bytes), "
               "the largest Split Size.\nChoose at least %llu Parts.",
               static_cast<unsigned long>(parts),
               EqualPartSize(appState.fileSize, kLargestSplitSize));
}
