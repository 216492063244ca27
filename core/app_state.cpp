#include "core/app_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

AppState appState = {};
char scratchText[kPathSize];
HINSTANCE appInstance = GetModuleHandleA(nullptr);

namespace {
struct InitialState {
    InitialState() { ResetAppState(); }
} initialState;
}  // namespace

void ResetAppState() {
    SettingsStore* settings = appState.settings;
    appState = AppState{};
    appState.splitSize = kFloppySplitSize;
    appState.windowState = WindowState::Normal;
    appState.settings = settings;
}

namespace {
// Bytes of the whole characters of text that fit in limit bytes, stopping at the
// terminator. Reads no byte at or beyond limit.
std::size_t WholeCharacters(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') {
        std::size_t size = IsDBCSLeadByte(static_cast<BYTE>(text[length])) ? 2 : 1;
        if (length + size > limit) break;  // its second byte would be cut off
        // A lead byte right before the terminator stands alone, as CharNextA takes it.
        if (size == 2 && text[length + 1] == '\0') size = 1;
        length += size;
    }
    return length;
}
}  // namespace

bool CopyText(char* dst, std::size_t capacity, const char* src) {
    if (capacity == 0) return false;
    if (src == nullptr) src = "";
    std::size_t length = WholeCharacters(src, capacity - 1);
    bool fits = src[length] == '\0';
    std::memmove(dst, src, length);
    dst[length] = '\0';
    return fits;
}

bool EndsInBackslash(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    // A backslash is never the first byte of a double-byte character.
    return *CharPrevA(path, path + std::strlen(path)) == '\\';
}

const char* FindCharIn(const char* text, const char* set) {
    for (const char* c = text; *c != '\0'; c = CharNextA(c)) {
        if (std::strchr(set, *c) != nullptr) return c;
    }
    return nullptr;
}

bool AddBackslash(char* path, std::size_t capacity) {
    std::size_t length = strnlen(path, capacity);
    if (length >= capacity) return false;
    if (EndsInBackslash(path)) return true;
    if (length + 1 >= capacity) return false;
    path[length] = '\\';
    path[length + 1] = '\0';
    return true;
}

bool FormatText(char* dst, std::size_t capacity, const char* format, ...) {
    if (capacity == 0) return false;
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(dst, capacity, format, args);
    va_end(args);
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    if (static_cast<std::size_t>(written) < capacity) return true;
    // Cut after the last whole character, not between the two bytes of one.
    dst[WholeCharacters(dst, capacity - 1)] = '\0';
    return false;
}

int ShowMessage(HWND owner, const char* text, UINT flags) {
    return MessageBoxA(owner, text, kWindowTitle, flags);
}

int ScaleToDialog(HWND dialog, int pixelsAt96Dpi) {
    RECT units = {0, 0, 4, 8};
    if (!MapDialogRect(dialog, &units)) return pixelsAt96Dpi;
    return MulDiv(pixelsAt96Dpi, units.bottom, kFontHeightAt96Dpi);
}

void ScaleIconsToDialog(HWND dialog, int iconId) {
    // The largest of the usual sizes that fits; the icon holds 48 and 256 for them.
    int fits = ScaleToDialog(dialog, 32);
    int size = 32;
    for (int usual : {48, 64, 96, 128}) {
        if (usual <= fits) size = usual;
    }
    if (size == 32) return;  // the template's own image
    HANDLE icon = LoadImageA(appInstance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, LR_SHARED);
    if (icon == nullptr) return;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[8] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            SendMessageA(child, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
    }
}
