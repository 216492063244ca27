#include "settings/shell_integration.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "core/app_state.h"

namespace {

bool WriteDefaultText(HKEY key, const char* text) {
    return RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool WriteCommand(HKEY verb, const char* command) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(verb, "command", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool written = WriteDefaultText(key, command);
    RegCloseKey(key);
    return written;
}

bool RemoveEntry() {
    DWORD result = SHDeleteKeyA(HKEY_CURRENT_USER, kShellVerbKey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool AddEntry() {
    char program[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) return false;  // a cut path starts nothing
    // Explorer puts the file's path for %1; the quotes keep blanks in either path.
    char command[kPathSize + 8];
    FormatText(command, sizeof command, "\"%s\" \"%%1\"", program);

    HKEY verb = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kShellVerbKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &verb, &disposition) != ERROR_SUCCESS) {
        return false;
    }
    bool written = WriteDefaultText(verb, kShellVerbText) && WriteCommand(verb, command);
    RegCloseKey(verb);
    // An entry without its command would sit in the menu doing nothing.
    if (!written && disposition == REG_CREATED_NEW_KEY) RemoveEntry();
    return written;
}

}  // namespace

bool SetShellMenuEntry(bool present) { return present ? AddEntry() : RemoveEntry(); }
