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

bool PickSourceFile(HWND owner, char* path) {
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
    if (GetOpenFileNameA(&record)) {
        // A character the ANSI code page lacks comes as ?, which no file name holds.
        if (std::strchr(file, '?') == nullptr) {
            CopyText(path, kPathSize, file);
            return true;
        }
        ShowUnspellableName(owner);
    }
    CopyText(path, kPathSize, "");
    return false;
}

bool PickDestinationFolder(HWND owner, char* path) {
    BROWSEINFOA record = {};
    record.hwndOwner = owner;
    record.lpszTitle = "Choose Split File Destination Directory";
    record.ulFlags = BIF_RETURNONLYFSDIRS;
    record.lpfn = FolderPickerCallback;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&record);
    if (chosen == nullptr) return false;
    wchar_t wide[MAX_PATH];
    bool spelled = !SHGetPathFromIDListW(chosen, wide) || SpelledInAnsi(wide);
    // The shell writes at most MAX_PATH characters, which is the caller's buffer.
    bool converted = spelled && SHGetPathFromIDListA(chosen, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(chosen);
        allocator->Release();
    }
    if (!spelled) ShowUnspellableName(owner);
    return converted;
}

int CALLBACK FolderPickerCallback(HWND browser, UINT message, LPARAM, LPARAM) {
    // The browser opens on the current destination, whatever it names.
    if (message == BFFM_INITIALIZED && appState.destDir[0] != '\0') {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(appState.destDir));
    }
    return 0;
}
