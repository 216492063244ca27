// Start-up helpers and the receiving side of the single-instance hand-off.
#include "app/startup.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "app/main_window.h"
#include "app/tray.h"
#include "settings/settings_store.h"

// Every running instance maps this section in common, so the first start can
// tell later starts that it is there. It is back at -1 once all have ended.
__attribute__((section("Shared"), shared)) volatile LONG instanceCounter = -1;

namespace {

bool IsBlank(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= 32;
}

// Room for the store when the heap has none left; used at most once per run.
alignas(SettingsStore) unsigned char reserveStore[sizeof(SettingsStore)];
bool reserveInUse = false;

// Brings the window back from wherever it is, as a later start asks.
void BringWindowBack(HWND window) {
    WindowState state = appState.windowState;
    // Minimised by other means than the system command (the shell's "show the
    // desktop"), the window would stay an icon if merely shown.
    if (state == WindowState::Normal && IsIconic(window)) state = WindowState::Minimized;
    switch (state) {
    case WindowState::Minimized:
        // The system-command branch records the restore; the platform does it.
        SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        break;
    case WindowState::InTray:
        AnimateTray(window, false);
        SetTrayIcon(window, false);
        appState.windowState = WindowState::Normal;
        break;
    case WindowState::Normal:
    default:
        ShowWindow(window, SW_SHOW);
        SetActiveWindow(window);
        SetForegroundWindow(window);
        break;
    }
}

}  // namespace

const char* ArgumentText(const char* commandLine) {
    if (commandLine == nullptr) return "";
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return p;
}

bool PathFromArgument(const char* text, char (&path)[kPathSize]) {
    path[0] = '\0';
    if (text == nullptr) return false;
    const char* start = text;
    std::size_t length = std::strlen(text);
    // One pair of enclosing quotes, as the shell writes a path with blanks; blanks
    // after the closing quote (a shortcut's trailing space) go with them.
    if (length >= 2 && text[0] == '"') {
        std::size_t end = length;
        while (end > 1 && IsBlank(text[end - 1])) --end;
        if (end >= 2 && text[end - 1] == '"' &&
            std::memchr(text + 1, '"', end - 2) == nullptr) {
            start = text + 1;
            length = end - 2;
        }
    }
    if (length == 0 || length >= kPathSize) return false;
    std::memcpy(path, start, length);
    path[length] = '\0';
    if (!PathFileExistsA(path)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

void SetInitialSource(const char* text) {
    char path[kPathSize];
    PathFromArgument(text, path);
    CopyText(appState.sourcePath, path);
}

INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != kHandOffTag) return FALSE;
    // Only a text that ends within the bytes received is a hand-off; anything else
    // is refused before a byte of it is read beyond what was sent.
    if (data->lpData == nullptr || data->cbData == 0) return FALSE;
    const char* text = static_cast<const char*>(data->lpData);
    if (std::memchr(text, '\0', data->cbData) == nullptr) return FALSE;

    BringWindowBack(window);

    // A split under way keeps its source: the run reads it until it ends.
    if (appState.runActive) return FALSE;
    char path[kPathSize];
    if (!PathFromArgument(text, path)) return FALSE;
    CopyText(appState.sourcePath, path);
    LoadSourceFile(window);
    return FALSE;
}

namespace {

// The user has just started this process, so it may bring another to the front;
// the running instance may not do so on its own. Looked up at run time: the
// function is missing from the oldest systems the program runs on.
void LetRunningInstanceComeForward(HWND running) {
    using AllowFunction = BOOL(WINAPI*)(DWORD);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto allow = reinterpret_cast<AllowFunction>(
        reinterpret_cast<void*>(GetProcAddress(user, "AllowSetForegroundWindow")));
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    if (allow != nullptr && processId != 0) allow(processId);
}

}  // namespace

bool HandOffArguments(const char* arguments) {
    HWND running = FindWindowExA(nullptr, nullptr, nullptr, kWindowTitle);
    if (running == nullptr) return false;
    LetRunningInstanceComeForward(running);
    if (arguments == nullptr) arguments = "";
    COPYDATASTRUCT data{};
    data.dwData = kHandOffTag;
    data.cbData = static_cast<DWORD>(std::strlen(arguments) + 1);
    data.lpData = const_cast<char*>(arguments);
    // Waits until the running instance has handled it, however long that takes.
    SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return true;
}

SettingsStore* CreateSettingsStore() {
    SettingsStore* store = new (std::nothrow) SettingsStore();
    if (store == nullptr && !reserveInUse) {
        reserveInUse = true;
        store = new (reserveStore) SettingsStore();
    }
    return store;
}

void DestroySettingsStore(SettingsStore* store) {
    if (store == nullptr) return;
    if (static_cast<void*>(store) == static_cast<void*>(reserveStore)) {
        store->~SettingsStore();
        reserveInUse = false;
    } else {
        delete store;
    }
}
