// Start-up helpers and the sending side of the single-instance hand-off.
#include "app/startup.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "app/command_line.h"
#include "settings/settings_store.h"

// Every running instance maps this section in common, so the first start can
// tell later starts that it is there. It is back at -1 once all have ended.
__attribute__((section("Shared"), shared)) volatile LONG instanceCounter = -1;

namespace {

// How long a later start waits for the running instance to take its argument.
constexpr UINT kHandOffWaitMs = 5000;
constexpr char kNoAnswerMessage[] =
    "VELK is already running but does not answer.\n"
    "Try again once it responds, or end it and start VELK again.";

// Room for the store when the heap has none left; used at most once per run.
alignas(SettingsStore) unsigned char reserveStore[sizeof(SettingsStore)];
bool reserveInUse = false;

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

// The running instance's main window: the first top-level window with the title
// and a minimise box. Its boxes bear the same title and may lie above it (a run's
// prompts have no owner); they have no minimise box and would ignore the hand-off.
HWND FindRunningWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, kWindowTitle)) != nullptr) {
        if (GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZEBOX) return window;
    }
    return nullptr;
}

}  // namespace

void SetInitialSource(const char* text) {
    char path[kPathSize];
    PathFromArgument(text, path);
    CopyText(appState.sourcePath, path);
}

bool HandOffArguments(const char* arguments) {
    HWND running = FindRunningWindow();
    if (running == nullptr) return false;
    LetRunningInstanceComeForward(running);
    if (arguments == nullptr) arguments = "";
    COPYDATASTRUCT data{};
    data.dwData = kHandOffTag;
    data.cbData = static_cast<DWORD>(std::strlen(arguments) + 1);
    data.lpData = const_cast<char*>(arguments);
    // A running instance that hangs must not hang every later start with it.
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kHandOffWaitMs, &answer) != 0) {
        return true;
    }
    // A window that went meanwhile was an instance ending: nothing to tell.
    if (IsWindow(running)) ShowMessage(nullptr, kNoAnswerMessage, MB_OK | MB_ICONEXCLAMATION);
    return false;
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
