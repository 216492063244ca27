#include "split/merge_script.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "core/app_state.h"
#include "split/free_space.h"
#include "split/mapped_file.h"
#include "split/split_run.h"

namespace {
// The name as the script must spell it: the command interpreter reads a batch
// file in the OEM code page and takes %...% for a variable, so the name is
// converted from ANSI to OEM and each % is doubled. Room for every byte doubled.
constexpr std::size_t kScriptNameSize = 2 * kPathSize;

void ScriptName(const char* name, char* out) {
    char oem[kPathSize];
    CopyText(oem, name);
    CharToOemBuffA(oem, oem, static_cast<DWORD>(std::strlen(oem)));
    std::size_t length = 0;
    for (const char* c = oem; *c != '\0'; ++c) {
        out[length++] = *c;
        if (*c == '%') out[length++] = '%';
    }
    out[length] = '\0';
}

// The name as the closing echo line shows it. Outside quotes the interpreter takes
// & | < > as the start of another command, so a name such as "x&del *.*&y.zip"
// would run one; a caret before each makes it plain text again.
void EchoName(const char* scriptName, char* out) {
    std::size_t length = 0;
    for (const char* c = scriptName; *c != '\0'; ++c) {
        if (std::strchr("&|<>^", *c) != nullptr) out[length++] = '^';
        out[length++] = *c;
    }
    out[length] = '\0';
}

// Bytes the script will take: the fixed pieces, the first copy line, the closing
// echo, and one further line for each part after the first, plus the digits of
// part numbers beyond the third. Computed in 64 bits so that no count wraps.
unsigned long long ScriptSize(unsigned long long nameLength, unsigned long long echoLength,
                              DWORD parts) {
    const unsigned long long title = sizeof kWindowTitle - 1;
    unsigned long long size = 122 + title + 2 * nameLength + echoLength;
    if (parts > 1) size += (parts - 1ull) * (3 * nameLength + 22);
    // Numbers of four digits and up: each one past 999 adds a byte per extra digit.
    for (unsigned long long from = 1000; from <= parts; from *= 10) size += parts - from + 1;
    return size;
}

// One piece of the script, formed whole before it is written.
bool WritePiece(const char* format, const char* name, DWORD part = 0) {
    char piece[2 * kScriptNameSize + 32];
    if (!FormatText(piece, sizeof piece, format, name, static_cast<unsigned long>(part))) {
        return false;
    }
    return partWriter->Write(piece, static_cast<DWORD>(std::strlen(piece))) == 1;
}

bool WriteScript(const char* name, const char* echoName, DWORD parts) {
    bool ok = partWriter->Write("@echo off\r\necho ", 16) == 1 &&
              partWriter->Write(kWindowTitle, sizeof kWindowTitle - 1) == 1 &&
              partWriter->Write("\r\necho Merging Files ....\r\n", 27) == 1 &&
              partWriter->Write("copy /b \"", 9) == 1 &&
              WritePiece("%s.%03lu\" \"", name, 1) && WritePiece("%s\"\r\n", name);
    for (DWORD part = 2; ok && part <= parts && part != 0; ++part) {
        ok = partWriter->Write("copy /b \"", 9) == 1 && WritePiece("%s\"+\"", name) &&
             WritePiece("%s.%03lu\" \"", name, part) && WritePiece("%s\"\r\n", name);
    }
    return ok && partWriter->Write("echo ", 5) == 1 && WritePiece("%s", echoName) &&
           partWriter->Write(" Successfully Merged !!!", 24) == 1 &&
           partWriter->Write("\r\necho Thank you for using VELK", 31) == 1;
}
}  // namespace

bool WriteMergeScript() {
    const char* name = PathFindFileNameA(appState.sourcePath);
    AddBackslash(appState.destDir);
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) return false;

    char scriptName[kScriptNameSize];
    ScriptName(name, scriptName);
    char echoName[2 * kScriptNameSize];
    EchoName(scriptName, echoName);
    unsigned long long size =
        ScriptSize(std::strlen(scriptName), std::strlen(echoName), appState.partCount);
    bool ok = size <= 0xFFFFFFFFull && CheckFreeSpace(static_cast<DWORD>(size)) == kEngineOk;
    // The path is formed after the check, which forms its messages in scratchText.
    ok = ok && FormatText(scratchText, sizeof scratchText, "%s%s.bat", appState.destDir, name) &&
         partWriter->OpenForWrite(scratchText, static_cast<DWORD>(size)) == 1;
    if (ok) {
        WriteScript(scriptName, echoName, appState.partCount);
        partWriter->Close();
    }
    delete partWriter;
    partWriter = nullptr;
    return ok;
}
