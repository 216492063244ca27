#include "app/file_drop.h"

#include "app/ansi_names.h"
#include "app/main_window.h"
#include "core/app_state.h"

namespace {

enum class Dropped { File, NoFile, TooLong };

// The first name dropped, taken whole into path when it is an existing file.
Dropped FirstDroppedFile(HDROP drop, char (&path)[kPathSize]) {
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 0) return Dropped::NoFile;
    // Measured first, in characters and in bytes: a name cut to fit would name another file.
    if (DragQueryFileW(drop, 0, nullptr, 0) > kPathCharacters) return Dropped::TooLong;
    if (DragQueryFileA(drop, 0, nullptr, 0) >= kPathSize) return Dropped::TooLong;
    if (DragQueryFileA(drop, 0, path, kPathSize) == 0) return Dropped::NoFile;
    if (!FitsPath(path)) return Dropped::TooLong;
    DWORD attributes = GetFileAttributesA(path);
    bool isFile = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return isFile ? Dropped::File : Dropped::NoFile;
}

// False when the first name dropped has a character the ANSI code page lacks.
bool FirstDroppedNameSpelled(HDROP drop) {
    wchar_t wide[kPathSize];
    UINT length = DragQueryFileW(drop, 0, wide, kPathSize);
    // No name, or one too long for a path, is refused for that.
    return length == 0 || length > kPathCharacters || SpelledInAnsi(wide);
}

}  // namespace

void OnDropFiles(HWND window, HDROP drop) {
    char path[kPathSize];
    Dropped dropped = FirstDroppedFile(drop, path);
    bool spelled = FirstDroppedNameSpelled(drop);
    DragFinish(drop);
    // The run reads its source until it ends.
    if (appState.runActive) return;
    if (!spelled) {
        ShowUnspellableName(window);
        return;
    }
    if (dropped == Dropped::TooLong) {
        ShowPathTooLong(window);
        return;
    }
    if (dropped == Dropped::NoFile) {
        ShowMessage(window, "File does not Exist", MB_ICONINFORMATION);
        return;
    }
    CopyText(appState.sourcePath, path);
    LoadSourceFile(window);
}
