// The "VELK Preferences" property sheet: page "Directory" (where the destination
// comes from, length of the recent list) and page "General" (tray, shell menu).
// Each page reads its values from the store when it is created and writes them
// back through the store on OK or Apply.
#include "settings/preferences.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>

#include "core/app_state.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "settings/shell_integration.h"

// The first-version records, which every version of the common controls knows
// (40 bytes each in the 32-bit program), measured as the platform's _V1_SIZE macros do.
constexpr UINT kSheetRecordSize =
    offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PROPSHEETHEADERA::pfnCallback);
constexpr UINT kPageRecordSize = offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(PROPSHEETPAGEA::pcRefParent);
static_assert(sizeof(void*) != 4 || kSheetRecordSize == 40, "PROPSHEETHEADER v1 is 40 bytes");
static_assert(sizeof(void*) != 4 || kPageRecordSize == 40, "PROPSHEETPAGE v1 is 40 bytes");

namespace {

constexpr char kSheetCaption[] = "VELK Preferences";
constexpr char kLimitMessage[] = "Choose a Number Between 1 & 7 Only !";
constexpr DWORD kLowestLimit = 1;
constexpr DWORD kHighestLimit = 7;
constexpr DWORD kDefaultLimit = 5;

// A page's user data turns non-zero once WM_INITDIALOG has filled it, so the
// EN_CHANGE that filling the limit box sends is not taken for the user's typing.
constexpr LONG_PTR kPageFilled = 1;

bool IsLimit(DWORD value) { return value >= kLowestLimit && value <= kHighestLimit; }

bool PageFilled(HWND page) { return GetWindowLongPtrA(page, GWLP_USERDATA) == kPageFilled; }

// Enables the sheet's Apply button for this page.
void MarkChanged(HWND page) {
    SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

bool IsChecked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

// A dialog procedure hands its WM_NOTIFY result back through DWLP_MSGRESULT.
INT_PTR AnswerNotify(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

// The limit box never shows a status code: when the stored limit has gone or
// cannot be read, it shows the limit this run works with.
DWORD LimitToShow(SettingsStore* store) {
    DWORD stored = store->GetMruLimit();
    if (IsLimit(stored)) return stored;
    return IsLimit(store->mruLimit) ? store->mruLimit : kDefaultLimit;
}

// ---- page "Directory" ----

void OnDirectoryInit(HWND page) {
    SettingsStore* store = appState.settings;
    SetDlgItemInt(page, IDC_PREF_RECENT_LIMIT, LimitToShow(store), FALSE);
    bool useRecent = store->GetUseMru();
    CheckDlgButton(page, IDC_PREF_USE_RECENT, useRecent ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_PREF_SAME_AS_SOURCE, useRecent ? BST_UNCHECKED : BST_CHECKED);
    SetWindowLongPtrA(page, GWLP_USERDATA, kPageFilled);
}

// Every change of the limit box is checked as it is typed; an empty box reads 0.
void OnLimitChanged(HWND page) {
    if (!PageFilled(page)) return;
    DWORD typed = GetDlgItemInt(page, IDC_PREF_RECENT_LIMIT, nullptr, FALSE);
    if (IsLimit(typed)) {
        MarkChanged(page);
        return;
    }
    ShowMessage(page, kLimitMessage, MB_ICONINFORMATION);
    HWND box = GetDlgItem(page, IDC_PREF_RECENT_LIMIT);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
}

void OnDirectoryCommand(HWND page, int id, int notification) {
    switch (id) {
    case IDC_PREF_SAME_AS_SOURCE:
    case IDC_PREF_USE_RECENT:
        if (notification == BN_CLICKED) MarkChanged(page);
        break;
    case IDC_PREF_RECENT_LIMIT:
        if (notification == EN_CHANGE) OnLimitChanged(page);
        break;
    }
}

// A limit outside 1 to 7 is refused by the store and simply not written.
void OnDirectoryApply(HWND page) {
    SettingsStore* store = appState.settings;
    store->SetMruLimit(GetDlgItemInt(page, IDC_PREF_RECENT_LIMIT, nullptr, FALSE));
    store->SetUseMru(IsChecked(page, IDC_PREF_USE_RECENT));
}

// ---- page "General" ----

void OnGeneralInit(HWND page) {
    SettingsStore* store = appState.settings;
    CheckDlgButton(page, IDC_PREF_MIN_TO_TRAY, store->GetMinToTray() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_PREF_SHELL_MENU, store->GetShellMenu() ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(page, IDC_PREF_RECOVERY_PARTS, EM_LIMITTEXT, 2, 0);
    SetDlgItemInt(page, IDC_PREF_RECOVERY_PARTS, store->GetRecoveryParts(), FALSE);
    SetWindowLongPtrA(page, GWLP_USERDATA, kPageFilled);
}

void OnGeneralCommand(HWND page, int id, int notification) {
    if ((id == IDC_PREF_MIN_TO_TRAY || id == IDC_PREF_SHELL_MENU) && notification == BN_CLICKED)
        MarkChanged(page);
    // Two digits at most (the box takes no more), so every text it holds is in range.
    if (id == IDC_PREF_RECOVERY_PARTS && notification == EN_CHANGE && PageFilled(page)) {
        MarkChanged(page);
    }
}

void OnGeneralApply(HWND page) {
    SettingsStore* store = appState.settings;
    store->SetMinToTray(IsChecked(page, IDC_PREF_MIN_TO_TRAY));
    store->SetShellMenu(IsChecked(page, IDC_PREF_SHELL_MENU));
    store->SetRecoveryParts(GetDlgItemInt(page, IDC_PREF_RECOVERY_PARTS, nullptr, FALSE));
    // Explorer's entry changes at once, in step with what was stored; the user
    // hears of it when the registry or the program's path would not have it.
    bool present = store->GetShellMenu();
    if (!SetShellMenuEntry(present)) {
        ShowMessage(page,
                    present ? "The entry \"Split with VELK\" could not be added to Explorer's menu."
                            : "The entry \"Split with VELK\" could not be removed from Explorer's menu.",
                    MB_OK | MB_ICONEXCLAMATION);
    }
}

// Both pages answer their notifications alike: apply writes, and the page may
// always be left (nothing is checked on the way out).
INT_PTR OnPageNotify(HWND page, const NMHDR* header, void (*apply)(HWND)) {
    switch (header->code) {
    case PSN_APPLY:
        apply(page);
        return AnswerNotify(page, PSNRET_NOERROR);
    case PSN_KILLACTIVE:
        return AnswerNotify(page, FALSE);
    default:
        return AnswerNotify(page, 0);
    }
}

PROPSHEETPAGEA MakePage(int templateId, const char* title, DLGPROC procedure) {
    PROPSHEETPAGEA page = {};
    page.dwSize = kPageRecordSize;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = appInstance;
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    page.pfnDlgProc = procedure;
    page.pszTitle = title;
    return page;
}

}  // namespace

void ShowPreferences(HWND owner) {
    const PROPSHEETPAGEA pages[] = {
        MakePage(IDD_PREF_DIRECTORY, "Directory", DirectoryPageProc),
        MakePage(IDD_PREF_GENERAL, "General", GeneralPageProc),
    };
    constexpr UINT kPageCount = sizeof pages / sizeof pages[0];
    // The sheet steps from one page record to the next by the record's dwSize, so
    // the records must lie one after the other at their first-version size.
    alignas(PROPSHEETPAGEA) unsigned char records[kPageCount * kPageRecordSize];
    for (UINT i = 0; i < kPageCount; ++i)
        memcpy(records + i * kPageRecordSize, &pages[i], kPageRecordSize);

    PROPSHEETHEADERA sheet = {};
    sheet.dwSize = kSheetRecordSize;
    sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID;
    sheet.hwndParent = owner;
    sheet.hInstance = appInstance;
    sheet.pszIcon = MAKEINTRESOURCEA(IDI_VELK);
    sheet.pszCaption = kSheetCaption;
    sheet.nPages = kPageCount;
    sheet.nStartPage = 0;
    sheet.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(records);
    PropertySheetA(&sheet);
}

INT_PTR CALLBACK DirectoryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnDirectoryInit(page);
        return TRUE;
    case WM_COMMAND:
        OnDirectoryCommand(page, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return OnPageNotify(page, reinterpret_cast<const NMHDR*>(lParam), OnDirectoryApply);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnGeneralInit(page);
        return TRUE;
    case WM_COMMAND:
        OnGeneralCommand(page, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return OnPageNotify(page, reinterpret_cast<const NMHDR*>(lParam), OnGeneralApply);
    default:
        return FALSE;
    }
}
