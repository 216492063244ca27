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

bool IsFileThere(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program's own path, when the entry's command can start it by that path: not
// cut, spelt in the code page (an unspellable name comes as '?', which names no
// file), and without '%', which Explorer would take for one of its parameters.
bool RunnableProgramPath(char (&program)[kPathSize]) {
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) return false;
    return FindCharIn(program, "%") == nullptr && IsFileThere(program);
}

bool AddEntry() {
    char program[kPathSize];
    if (!RunnableProgramPath(program)) return false;
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

// The program the entry's command starts: the text inside its leading quotes, or up
// to the first blank; empty when there is no entry or no command.
void EntryProgram(char (&program)[kPathSize]) {
    program[0] = '\0';
    HKEY verb = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellVerbKey, 0, KEY_READ, &verb) != ERROR_SUCCESS) return;
    char command[kPathSize + 8] = "";
    LONG size = sizeof command - 1;  // room kept for a zero the value may lack
    LONG read = RegQueryValueA(verb, "command", command, &size);
    RegCloseKey(verb);
    if (read != ERROR_SUCCESS) return;
    const char* start = command[0] == '"' ? command + 1 : command;
    const char* end = FindCharIn(start, command[0] == '"' ? "\"" : " ");
    std::size_t length = end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    if (length < kPathSize) CopyText(program, length + 1, start);
}

// Started from where it will soon be gone: a removable or optical drive, or a
// folder under the temporary one (where zip viewers and mail put what they open).
// Compared in short names, which every path has and both sides spell alike.
bool ProgramIsPassing(const char* program) {
    char root[4] = {program[0], ':', '\\', '\0'};
    if (program[1] == ':') {
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_REMOVABLE || type == DRIVE_CDROM) return true;
    }
    char temp[kPathSize];
    char shortTemp[kPathSize];
    char shortProgram[kPathSize];
    DWORD tempLength = GetTempPathA(sizeof temp, temp);
    if (tempLength == 0 || tempLength >= sizeof temp) return false;
    DWORD a = GetShortPathNameA(temp, shortTemp, sizeof shortTemp);
    DWORD b = GetShortPathNameA(program, shortProgram, sizeof shortProgram);
    if (a == 0 || a >= sizeof shortTemp || b == 0 || b >= sizeof shortProgram) return false;
    if (!AddBackslash(shortTemp)) return false;
    int prefix = static_cast<int>(std::strlen(shortTemp));
    if (static_cast<int>(std::strlen(shortProgram)) < prefix) return false;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, shortTemp, prefix, shortProgram, prefix) ==
           CSTR_EQUAL;
}

}  // namespace

bool SetShellMenuEntry(bool present) { return present ? AddEntry() : RemoveEntry(); }

bool KeepShellMenuEntry(bool present) {
    if (!present) return RemoveEntry();
    char current[kPathSize];
    EntryProgram(current);
    if (current[0] != '\0' && IsFileThere(current)) return true;
    char program[kPathSize];
    if (!RunnableProgramPath(program) || ProgramIsPassing(program)) return true;
    return AddEntry();
}
