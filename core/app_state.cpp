#include "core/app_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <string>

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
bool Utf8() {
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

// Bytes that the character at text takes by its first byte. The platform's own
// stepping (CharNextA) knows the double-byte code pages but takes UTF-8, the code
// page of the program on newer systems, a byte at a time.
std::size_t AnnouncedSize(const char* text) {
    BYTE lead = static_cast<BYTE>(text[0]);
    if (!Utf8()) return IsDBCSLeadByte(lead) ? 2 : 1;
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Bytes of the character at text, never past the terminator: a sequence cut short
// (a lead byte right before the terminator, as CharNextA takes it) steps alone.
std::size_t CharacterSize(const char* text) {
    std::size_t size = AnnouncedSize(text);
    for (std::size_t i = 1; i < size; ++i) {
        BYTE next = static_cast<BYTE>(text[i]);
        if (next == 0 || (Utf8() && (next & 0xC0) != 0x80)) return 1;
    }
    return size;
}

// Bytes of the whole characters of text that fit in limit bytes, stopping at the
// terminator. Reads no byte at or beyond limit.
std::size_t WholeCharacters(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') {
        // Its last bytes would be cut off (or were, by a formatting cut short).
        if (length + AnnouncedSize(text + length) > limit) break;
        length += CharacterSize(text + length);
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
    if (path == nullptr) return false;
    const char* last = nullptr;
    for (const char* c = path; *c != '\0'; c += CharacterSize(c)) last = c;
    return last != nullptr && *last == '\\';
}

const char* FindCharIn(const char* text, const char* set) {
    for (const char* c = text; *c != '\0'; c += CharacterSize(c)) {
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

bool SpelledExactly(UINT codePage, const wchar_t* text) {
    // The flags that would report such characters are refused for UTF-8 and
    // GB 18030: the way there and back works for every code page.
    int bytes = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    std::string spelled(bytes, '\0');
    std::wstring back(std::wcslen(text) + 1, L'\0');
    return WideCharToMultiByte(codePage, 0, text, -1, &spelled[0], bytes, nullptr, nullptr) != 0 &&
           MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, spelled.c_str(), -1, &back[0],
                               static_cast<int>(back.size())) != 0 &&
           std::wcscmp(back.c_str(), text) == 0;
}

std::size_t PathCharacters(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0;
    int characters = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    // A text that cannot even be counted can be no path: it counts as too long.
    return characters > 0 ? static_cast<std::size_t>(characters) - 1 : kPathSize;
}

bool FitsPath(const char* text) {
    return text != nullptr && strnlen(text, kPathSize) < kPathSize &&
           PathCharacters(text) <= kPathCharacters;
}

bool CopyPath(char (&dst)[kPathSize], const char* src) {
    if (!FitsPath(src)) return false;
    return CopyText(dst, src);
}

void ShowPathTooLong(HWND owner) {
    ShowMessage(owner,
                "This path is longer than Windows allows (259 characters), so VELK "
                "cannot use it.\n\nMove or rename the file or folder so that its path "
                "is shorter.",
                MB_OK | MB_ICONEXCLAMATION);
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
