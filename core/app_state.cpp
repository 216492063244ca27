#include "core/app_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

bool CopyText(char* dst, std::size_t capacity, const char* src) {
    if (capacity == 0) return false;
    if (src == nullptr) src = "";
    std::size_t length = strnlen(src, capacity);
    bool fits = length < capacity;
    if (!fits) length = capacity - 1;
    std::memmove(dst, src, length);
    dst[length] = '\0';
    return fits;
}

bool AddBackslash(char* path, std::size_t capacity) {
    std::size_t length = strnlen(path, capacity);
    if (length >= capacity) return false;
    if (length > 0 && path[length - 1] == '\\') return true;
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
    return static_cast<std::size_t>(written) < capacity;
}

int ShowMessage(HWND owner, const char* text, UINT flags) {
    return MessageBoxA(owner, text, kWindowTitle, flags);
}
