#include "app/custom_size.h"

#include "core/app_state.h"
#include "res/resource.h"
#include "split/format_size.h"

namespace {
// The number of bytes typed so far; starts at 0 with every opening of the dialog.
DWORD enteredSize = 0;

constexpr INT_PTR kSizeAccepted = 0;
constexpr INT_PTR kSizeCancelled = 1;

void SelectWholeBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_CUSTOM_SIZE_BOX);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
}

// Text that is no unsigned decimal number in range (empty, pasted letters, above
// 4294967295) reads as 0. Read here rather than with GetDlgItemInt, which on some
// systems takes "12ab" as 12 and can refuse 4294967295 after an overflowing read.
DWORD ReadSizeBox(HWND dialog) {
    char text[32] = "";
    if (GetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_BOX, text, sizeof text) >=
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

void OnInitDialog(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_BOX, "0");
    SelectWholeBox(dialog);
    enteredSize = 0;
}

void ShowEnteredSize(HWND dialog) {
    enteredSize = ReadSizeBox(dialog);
    char sizeText[20];
    FormatSize(enteredSize, sizeText);
    char label[kPathSize];
    FormatText(label, sizeof label, "Custom Size is : %s", sizeText);
    SetDlgItemTextA(dialog, IDC_CUSTOM_SIZE_LABEL, label);
}

void OnOk(HWND dialog) {
    enteredSize = ReadSizeBox(dialog);
    if (enteredSize != 0) {
        appState.splitSize = enteredSize;
        EndDialog(dialog, kSizeAccepted);
        return;
    }
    if (ShowMessage(dialog, "Split Size Cannot be 0 Bytes", MB_RETRYCANCEL) == IDRETRY) {
        SelectWholeBox(dialog);
    } else {
        EndDialog(dialog, kSizeCancelled);
    }
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
        case IDC_CUSTOM_SIZE_BOX:
            if (code == EN_CHANGE) ShowEnteredSize(dialog);
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
