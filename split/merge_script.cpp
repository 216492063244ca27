#include "split/merge_script.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "core/app_state.h"
#include "split/console_text.h"
#include "split/free_space.h"
#include "split/mapped_file.h"
#include "split/split_run.h"

namespace {
// Room for the name as the script spells it: each character doubled, in two bytes.
constexpr std::size_t kScriptNameSize = 4 * kPathSize;

// The name as the script spells it, in the OEM code page: on the copy lines with
// each % doubled (%...% is a variable), and on the closing echo line also with a
// caret before each & | < > ^, which outside quotes would start another command
// (so "x&del *.*&y.zip" is shown, not run). Worked on in UTF-16, so the second
// byte of a double-byte character (タ is 0x83 0x5E in code page 932) is never
// taken for one of them. False when the name cannot be spelled exactly.
bool ScriptNames(const char* name, char* copyName, char* echoName) {
    wchar_t wide[kPathSize];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, kPathSize) == 0 ||
        !SpelledExactlyInOem(wide)) {
        return false;
    }
    wchar_t copyWide[2 * kPathSize];
    wchar_t echoWide[2 * kPathSize];
    std::size_t copyLength = 0;
    std::size_t echoLength = 0;
    for (const wchar_t* c = wide; *c != L'\0'; ++c) {
        if (std::wcschr(L"&|<>^", *c) != nullptr) echoWide[echoLength++] = L'^';
        copyWide[copyLength++] = *c;
        echoWide[echoLength++] = *c;
        if (*c == L'%') {
            copyWide[copyLength++] = L'%';
            echoWide[echoLength++] = L'%';
        }
    }
    copyWide[copyLength] = L'\0';
    echoWide[echoLength] = L'\0';
    return ToOem(copyWide, copyName) && ToOem(echoWide, echoName);
}

// Instead of a script that could not be faithful, the user is told how to join the
// parts by hand: typed at a prompt, the name keeps the characters it has.
void TellHowToJoin(const char* name, DWORD parts) {
    char lines[3 * (3 * kPathSize + 32)];
    FormatText(lines, sizeof lines, "copy /b \"%s.001\" \"%s\"", name, name);
    std::size_t length = std::strlen(lines);
    auto addLine = [&](DWORD part) {
        FormatText(lines + length, sizeof lines - length, "\ncopy /b \"%s\"+\"%s.%03lu\" \"%s\"",
                   name, name, static_cast<unsigned long>(part), name);
        length = std::strlen(lines);
    };
    if (parts >= 2) addLine(2);
    if (parts > 3) {
        CopyText(lines + length, sizeof lines - length,
                 "\n(and so on: one such line for each part)");
        length = std::strlen(lines);
    }
    if (parts >= 3) addLine(parts);
    char text[sizeof lines + 2 * kPathSize];
    FormatText(text, sizeof text,
               "No merge script was written: the name %s has characters that the command "
               "interpreter cannot read from a script.\n\n"
               "To join the %lu part(s), open a command prompt in the folder that holds them "
               "and type these lines, one after another:\n\n%s",
               name, static_cast<unsigned long>(parts), lines);
    MessageBoxA(nullptr, text, kWindowTitle, MB_OK | MB_ICONWARNING);
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
    char piece[kScriptNameSize + 32];
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
    char scriptName[kScriptNameSize];
    char echoName[kScriptNameSize];
    if (!ScriptNames(name, scriptName, echoName)) {
        // No script at all rather than one that runs or joins something else; the
        // parts are all written, and the split goes on to its summary.
        TellHowToJoin(name, appState.partCount);
        return true;
    }
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) return false;

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
