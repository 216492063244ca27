#include "about/about_dialog.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "about/html_help.h"
#include "about/hyperlink.h"
#include "about/tooltip_relay.h"
#include "core/app_state.h"
#include "res/resource.h"

HyperLink* aboutLink = nullptr;
ToolTipRelay* aboutTips = nullptr;

namespace {

constexpr char kHelpFileName[] = "VELK.chm";
// The link's place in the dialog's client area, in pixels at 96 dots per inch.
constexpr int kLinkX = 75;
constexpr int kLinkY = 100;

void OnInitDialog(HWND dialog) {
    // At a higher DPI the place grows with the dialog, below its text, above OK.
    ScaleIconsToDialog(dialog, IDI_VELK);
    aboutLink = new (std::nothrow) HyperLink(dialog, kSiteAddress, kSiteHostName, 0, 0, 0, "Tahoma", 10, 400,
                                             kLinkUnderline, ScaleToDialog(dialog, kLinkX),
                                             ScaleToDialog(dialog, kLinkY));
    aboutTips = new (std::nothrow) ToolTipRelay(dialog);
    if (aboutLink != nullptr && aboutTips != nullptr) aboutTips->AddTool(aboutLink->window, kSiteTip);
}

// The objects go before the dialog does; their windows follow with it.
void OnClose(HWND dialog) {
    delete aboutLink;
    aboutLink = nullptr;
    delete aboutTips;
    aboutTips = nullptr;
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return FALSE;
        case WM_COMMAND:
            // Enter arrives as IDOK too; Escape's IDCANCEL is left alone on purpose.
            if (LOWORD(wParam) == IDOK) SendMessageA(dialog, WM_CLOSE, 0, 0);
            return FALSE;
        case WM_CLOSE:
            OnClose(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

bool FormHelpPath(char* path, std::size_t capacity) {
    if (capacity == 0) return false;
    path[0] = '\0';
    char program[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof(program));
    if (length == 0 || length >= sizeof(program)) return false;
    // The folder keeps its last backslash; the shell's helper steps by character,
    // so a folder such as 予定表 (last byte 0x5C) is no separator of its own.
    *PathFindFileNameA(program) = '\0';
    if (!FormatText(path, capacity, "%s%s", program, kHelpFileName) || !FitsPath(path)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

// A path that cannot be formed whole opens nothing: a cut one could name another
// file. A file that is not there is said to be missing, rather than nothing shown.
void OpenHelpFile(HWND owner) {
    char helpPath[kPathSize];
    DWORD attributes = FormHelpPath(helpPath, sizeof(helpPath)) ? GetFileAttributesA(helpPath)
                                                                 : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ShowMessage(owner, "The help file VELK.chm is missing: it belongs in the folder of velk.exe.",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    HtmlHelpA(owner, helpPath, HH_DISPLAY_TOPIC, 0);
}
