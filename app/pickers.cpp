#include "app/pickers.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>

#include "app/ansi_names.h"
#include "core/app_state.h"

// The open-file record as the oldest platforms know it, up to lpTemplateName: 76 bytes
// in a 32-bit build (OPENFILENAME_SIZE_VERSION_400A), without the three fields that
// later versions appended.
constexpr DWORD kOpenFileRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(sizeof(void*) != 4 || kOpenFileRecordSize == 76,
              "the open-file record must be the 76-byte form");

namespace {
// The filter pairs, then the empty pair that ends the list: any file to split, or
// the first part of a set to join.
constexpr char kSourceFilter[] = "All Files (*.*)\0*.*\0First Parts of Sets (*.001)\0*.001\0";
constexpr DWORD kSourcePickerFlags = OFN_EXPLORER | OFN_CREATEPROMPT | OFN_HIDEREADONLY;
}  // namespace

bool PickSourceFile(HWND owner, char (&path)[kPathSize]) {
    char file[kPathSize] = "";
    char fileTitle[kPathSize] = "";
    OPENFILENAMEA record = {};
    record.lStructSize = kOpenFileRecordSize;
    record.hwndOwner = owner;
    record.lpstrFilter = kSourceFilter;
    record.lpstrFile = file;
    record.nMaxFile = sizeof file;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = sizeof fileTitle;
    record.lpstrInitialDir = "";
    record.lpstrTitle = "Select a File to be split";
    record.Flags = kSourcePickerFlags;
    record.lpstrDefExt = "txt";
    path[0] = '\0';
    if (GetOpenFileNameA(&record)) {
        // A character the ANSI code page lacks comes as ?, which no file name holds.
        if (std::strchr(file, '?') != nullptr) {
            ShowUnspellableName(owner);
        } else if (CopyPath(path, file)) {
            return true;
        } else {
            ShowPathTooLong(owner);
        }
    } else if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
        ShowPathTooLong(owner);  // a path beyond what Windows takes
    }
    return false;
}

bool PickDestinationFolder(HWND owner, char (&path)[kPathSize]) {
    BROWSEINFOA record = {};
    record.hwndOwner = owner;
    record.lpszTitle = "Choose Split File Destination Directory";
    record.ulFlags = BIF_RETURNONLYFSDIRS;
    record.lpfn = FolderPickerCallback;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&record);
    if (chosen == nullptr) return false;
    // Taken in UTF-16 and spelled here: the ANSI call fills MAX_PATH bytes, which
    // a UTF-8 path may pass (Wine then leaves it without a terminator).
    wchar_t wide[MAX_PATH] = {};
    char found[kPathSize] = {};
    bool spelled = true;
    bool converted = false;
    bool cut = false;
    if (SHGetPathFromIDListW(chosen, wide)) {
        spelled = SpelledInAnsi(wide);
        converted = spelled && WideCharToMultiByte(CP_ACP, 0, wide, -1, found, sizeof found, nullptr,
                                                   nullptr) != 0;
    } else {
        // Systems without the wide call; the zeros after MAX_PATH bytes end a cut
        // text, which is then too long to be taken.
        converted = SHGetPathFromIDListA(chosen, found) != FALSE;
        cut = converted && std::strlen(found) >= MAX_PATH;
    }
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(chosen);
        allocator->Release();
    }
    if (!spelled) ShowUnspellableName(owner);
    if (!converted) return false;
    if (cut || !CopyPath(path, found)) {
        ShowPathTooLong(owner);
        return false;
    }
    return true;
}

int CALLBACK FolderPickerCallback(HWND browser, UINT message, LPARAM, LPARAM) {
    // The browser opens on the current destination, whatever it names.
    if (message == BFFM_INITIALIZED && appState.destDir[0] != '\0') {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(appState.destDir));
    }
    return 0;
}
