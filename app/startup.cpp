// Start-up helpers and the sending side of the single-instance hand-off.
#include "app/startup.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "app/command_line.h"
#include "settings/settings_store.h"

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

// How often a later start looks again for a main window that is still being made.
constexpr DWORD kLookAgainMs = 50;

// The running instance's main window: a dialog with the title and the mark it sets
// on itself. Its boxes, and other programs' windows (a folder named like the
// release), bear the same title and may lie above it; they lack the mark.
HWND FindRunningWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", kWindowTitle)) != nullptr) {
        if (GetPropA(window, kMainWindowMark) != nullptr) return window;
    }
    return nullptr;
}

}  // namespace

void SetInitialSource(const char* text) {
    char path[kPathSize];
    // Before the window exists: the box has no owner.
    if (PathFromArgument(text, path) == ArgumentNames::TooLongPath) ShowPathTooLong(nullptr);
    CopyText(appState.sourcePath, path);
}

bool BecomeFirstInstance() {
    // Windows before 2000 knows no namespaces (nor sessions): there the plain name.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    if (mutex == nullptr) mutex = CreateMutexA(nullptr, FALSE, std::strchr(kInstanceMutexName, '\\') + 1);
    // Without the mutex nothing tells the instances apart: this one works.
    if (mutex == nullptr) return true;
    // Owned while the instance lives; its end releases it (abandoned), so the next
    // start is the first again. The handle stays open for the process's life.
    // Of several starts at the same moment exactly one takes it.
    DWORD taken = WaitForSingleObject(mutex, 0);
    if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) return true;
    CloseHandle(mutex);
    return false;
}

bool RunningWindowOfThisSession() {
    if (FindRunningWindow() != nullptr) return true;
    // Several files opened at once start one process each; the first may still be
    // making its window.
    DWORD start = GetTickCount();
    do {
        Sleep(kLookAgainMs);
        if (FindRunningWindow() != nullptr) return true;
    } while (GetTickCount() - start < kHandOffWaitMs);
    return false;
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
