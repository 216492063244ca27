// Explorer's entry of the program, read and removed without going through it.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "settings/shell_integration.h"

// The default text of the entry's key or of a key below it ("command");
// "(no such key)" when that key is missing.
inline std::string ShellEntryText(const std::string& subKey = "") {
    std::string path = std::string(kShellVerbKey) + (subKey.empty() ? "" : "\\" + subKey);
    char text[1024] = "";
    LONG size = sizeof text;
    if (RegQueryValueA(HKEY_CURRENT_USER, path.c_str(), text, &size) != ERROR_SUCCESS) return "(no such key)";
    return text;
}

inline void DeleteShellEntry() { SHDeleteKeyA(HKEY_CURRENT_USER, kShellVerbKey); }
