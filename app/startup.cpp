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

}  // namespace

void SetInitialSource(const char* text) {
    char path[kPathSize];
    PathFromArgument(text, path);
    CopyText(appState.sourcePath, path);
}

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
