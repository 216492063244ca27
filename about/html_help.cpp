#include "about/html_help.h"

#include "core/app_state.h"

namespace {

constexpr char kControlServerKey[] =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr WORD kHtmlHelpAOrdinal = 14;

using HtmlHelpAEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HMODULE hhctrlModule = nullptr;
FARPROC htmlHelpEntry = nullptr;
bool helpLoadFailed = false;

HMODULE LoadRegisteredControl() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kControlServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    // One byte beyond the 260 asked for, so a value stored without its zero ends anyway.
    char path[kPathSize + 1] = {};
    DWORD size = kPathSize;
    LONG read = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return nullptr;
    path[size < kPathSize ? size : kPathSize] = '\0';
    return LoadLibraryA(path);
}

// By its full path in the system folder: loaded by name alone, the control would
// be searched for in the program's folder first, where anyone could put one.
HMODULE LoadFromSystemFolder() {
    char path[kPathSize];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return nullptr;
    if (!CopyText(path + length, sizeof path - length, "\\hhctrl.ocx")) return nullptr;
    return LoadLibraryA(path);
}

}  // namespace

extern "C" HWND WINAPI HtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    if (hhctrlModule == nullptr && !helpLoadFailed) {
        hhctrlModule = LoadRegisteredControl();
        if (hhctrlModule == nullptr) hhctrlModule = LoadFromSystemFolder();
        if (hhctrlModule == nullptr) {
            helpLoadFailed = true;
            return nullptr;
        }
    }
    if (hhctrlModule == nullptr) return nullptr;
    if (htmlHelpEntry == nullptr) {
        htmlHelpEntry = GetProcAddress(hhctrlModule, MAKEINTRESOURCEA(kHtmlHelpAOrdinal));
        if (htmlHelpEntry == nullptr) {
            helpLoadFailed = true;
            return nullptr;
        }
    }
    // FARPROC is only the common currency of GetProcAddress; go through the
    // generic function type to reach the entry's real one.
    auto entry = reinterpret_cast<HtmlHelpAEntry>(reinterpret_cast<void (*)()>(htmlHelpEntry));
    return entry(caller, file, command, data);
}

HtmlHelpLoaderState GetHtmlHelpLoaderState() {
    return {hhctrlModule, htmlHelpEntry, helpLoadFailed};
}
