#include "app/file_drop.h"

#include "app/ansi_names.h"
#include "app/main_window.h"
#include "core/app_state.h"

namespace {

// The first name dropped, when it fits a path buffer and names an existing file.
bool FirstDroppedFile(HDROP drop, char (&path)[kPathSize]) {
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 0) return false;
    // Measured first: a name cut to fit would name another file.
    if (DragQueryFileA(drop, 0, nullptr, 0) >= kPathSize) return false;
    if (DragQueryFileA(drop, 0, path, kPathSize) == 0) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// False when the first name dropped has a character the ANSI code page lacks.
bool FirstDroppedNameSpelled(HDROP drop) {
    wchar_t wide[kPathSize];
    UINT length = DragQueryFileW(drop, 0, wide, kPathSize);
    // No name, or one too long for a path, is refused as before.
    return length == 0 || length >= kPathSize || SpelledInAnsi(wide);
}

}  // namespace

void OnDropFiles(HWND window, HDROP drop) {
    char path[kPathSize];
    bool isFile = FirstDroppedFile(drop, path);
    bool spelled = FirstDroppedNameSpelled(drop);
    DragFinish(drop);
    // The run reads its source until it ends.
    if (appState.runActive) return;
    if (!spelled) {
        ShowUnspellableName(window);
        return;
    }
    if (!isFile) {
        ShowMessage(window, "File does not Exist", MB_ICONINFORMATION);
        return;
    }
    CopyText(appState.sourcePath, path);
    LoadSourceFile(window);
}
