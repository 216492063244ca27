#include "split/merge_script.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

#include "core/app_state.h"
#include "split/console_text.h"
#include "split/mapped_file.h"
#include "split/part_digests.h"
#include "split/run_end.h"
#include "split/split_run.h"

DWORD scriptRecoveryParts = 0;

namespace {
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

// The script is produced twice by the same code: once only counting its bytes
// (the size checked against the free space and given to the writer), then for real.
class ScriptOut {
public:
    explicit ScriptOut(MappedFile* writer) : writer_(writer) {}

    void Put(const char* text) {
        std::size_t length = std::strlen(text);
        size_ += length;
        if (writer_ != nullptr && ok_) {
            ok_ = writer_->Write(text, static_cast<DWORD>(length)) == 1;
        }
    }
    // A piece with the names in it, formed whole before it is written.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char piece[4 * kOemNameSize + 256];
        va_list args;
        va_start(args, format);
        int length = std::vsnprintf(piece, sizeof piece, format, args);
        va_end(args);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof piece) {
            ok_ = false;
            return;
        }
        Put(piece);
    }
    unsigned long long size() const { return size_; }
    bool ok() const { return ok_; }

private:
    MappedFile* writer_;
    unsigned long long size_ = 0;
    bool ok_ = true;
};

DWORD PartLength(DWORD part) {
    return part < appState.partCount
               ? appState.splitSize
               : appState.fileSize - (appState.partCount - 1) * appState.splitSize;
}

// Checks before the join, for the interpreter of Windows 95/98 (COMMAND.COM, no
// setlocal, no %~z, no exit code): every part is there.
void PutPresenceChecks(ScriptOut& out, const char* name, DWORD parts) {
    for (DWORD part = 1; part <= parts && part != 0; ++part) {
        out.Format("if not exist \"%s.%03lu\" echo Part %lu (%s.%03lu) is missing.\r\n", name,
                   static_cast<unsigned long>(part), static_cast<unsigned long>(part), name,
                   static_cast<unsigned long>(part));
        out.Format("if not exist \"%s.%03lu\" goto velkstop\r\n", name,
                   static_cast<unsigned long>(part));
    }
}

// Checks before the join for cmd (Windows NT and later): each part there, of its
// length, and where certutil prints a SHA-256, of its contents. Delayed expansion
// is off, so a ! in a name stays; names reach echo only through a FOR variable,
// which the interpreter never reads as & or %.
void PutFullChecks(ScriptOut& out, const char* name, DWORD parts, bool hashes) {
    out.Put(":velknt\r\nsetlocal DisableDelayedExpansion\r\nset velkat=\r\nset velkunsure=\r\n");
    char hex[2 * kDigestSize + 1] = "";
    for (DWORD part = 1; part <= parts && part != 0; ++part) {
        if (hashes) PartDigestHex(part, hex);
        out.Format("call :velkpart %lu %03lu %lu %s\r\nif errorlevel 1 goto velkstop\r\n",
                   static_cast<unsigned long>(part), static_cast<unsigned long>(part),
                   static_cast<unsigned long>(PartLength(part)), hex);
    }
    out.Put("if defined velkunsure echo Could not check the contents of the parts here, "
            "certutil gives no SHA-256: each part is there and of its length.\r\n"
            "goto velkjoin\r\n");
    // One part: its number, the digits of its name, its length, its SHA-256 if known.
    // The name is spelled out at each use: Wine's cmd reads a % in a variable's value
    // as the start of another variable.
    out.Format(":velkpart\r\n"
               "set velkwhat=\r\n"
               "if not exist \"%s.%%2\" set velkwhat=is missing\r\n"
               "if defined velkwhat goto velksay\r\n"
               "for %%%%f in (\"%s.%%2\") do if not \"%%%%~zf\"==\"%%3\" "
               "set \"velkwhat=has the wrong length: %%%%~zf bytes, not %%3\"\r\n"
               "if defined velkwhat goto velksay\r\n"
               "if \"%%4\"==\"\" exit /b 0\r\n"
               "if defined velkunsure exit /b 0\r\n",
               name, name);
    // certutil prints the hash on its second line: Windows 10 in one word, Windows 7
    // with a blank between bytes. Anything else is no hash.
    out.Format("certutil -hashfile \"%s.%%2\" SHA256 >\"%s.hashing\" 2>nul\r\n"
               "set velksum=\r\n"
               "for /f \"usebackq skip=1 delims=\" %%%%h in (\"%s.hashing\") do "
               "if not defined velksum set \"velksum=%%%%h\"\r\n"
               "if exist \"%s.hashing\" del \"%s.hashing\"\r\n",
               name, name, name, name, name);
    out.Put("if not defined velksum goto velkunsure\r\n"
            "set \"velksum=%velksum: =%\"\r\n"
            "if not \"%velksum:~64%\"==\"\" goto velkunsure\r\n"
            "if \"%velksum:~63%\"==\"\" goto velkunsure\r\n"
            "if /i \"%velksum%\"==\"%4\" exit /b 0\r\n"
            "set velkwhat=is damaged: its contents differ from the part that was split\r\n");
    out.Format(":velksay\r\n"
               "for %%%%f in (\"%s.%%2\") do echo Part %%1 (%%%%~f) %%velkwhat%%.\r\n"
               "exit /b 1\r\n"
               ":velkunsure\r\n"
               "set velkunsure=1\r\n"
               "exit /b 0\r\n",
               name);
}

// After a copy that failed (a part unreadable, the disk full): the unfinished join
// goes, and nothing else is touched.
void PutFailure(ScriptOut& out, const char* name, const char* echoName) {
    out.Format(":velkfail\r\n"
               "if exist \"%s.joining\" del \"%s.joining\"\r\n"
               "if not defined velkat echo %s could not be replaced.\r\n"
               "set velkwhat=could not be copied\r\n"
               "if defined velkat call :velksay %%velkat%% %%velkno%%\r\n",
               name, name, echoName);
    out.Put(":velkstop\r\n"
            "echo Nothing was joined.\r\n"
            "if \"%OS%\"==\"Windows_NT\" exit /b 1\r\n"
            "goto velkend\r\n");
}

// The join goes into "<name>.joining", which replaces a file of the name only once
// every copy succeeded: an earlier file of that name stays as it was on any failure.
// Only cmd sets an exit code for copy; on Windows 95/98 each check is skipped.
void PutJoin(ScriptOut& out, const char* name, DWORD parts) {
    out.Format(":velkjoin\r\ncopy /b \"%s.001\" \"%s.joining\"\r\n", name, name);
    for (DWORD part = 1; part <= parts && part != 0; ++part) {
        if (part > 1) {
            out.Format("copy /b \"%s.joining\"+\"%s.%03lu\" \"%s.joining\"\r\n", name, name,
                       static_cast<unsigned long>(part), name);
        }
        out.Format("if errorlevel 1 if \"%%OS%%\"==\"Windows_NT\" set velkat=%lu& set "
                   "velkno=%03lu& goto velkfail\r\n",
                   static_cast<unsigned long>(part), static_cast<unsigned long>(part));
    }
    out.Format("if \"%%OS%%\"==\"Windows_NT\" move /y \"%s.joining\" \"%s\" >nul\r\n"
               "if errorlevel 1 if \"%%OS%%\"==\"Windows_NT\" goto velkfail\r\n"
               "if not \"%%OS%%\"==\"Windows_NT\" if exist \"%s\" del \"%s\"\r\n"
               "if not \"%%OS%%\"==\"Windows_NT\" ren \"%s.joining\" \"%s\"\r\n",
               name, name, name, name, name, name);
}

void PutScript(ScriptOut& out, const char* name, const char* echoName, DWORD parts,
               bool hashes) {
    out.Put("@echo off\r\necho ");
    out.Put(kWindowTitle);
    out.Put("\r\necho Merging Files ....\r\n"
            "if \"%OS%\"==\"Windows_NT\" goto velknt\r\n");
    PutPresenceChecks(out, name, parts);
    out.Put("goto velkjoin\r\n");
    PutFullChecks(out, name, parts, hashes);
    PutFailure(out, name, echoName);
    PutJoin(out, name, parts);
    out.Format("echo %s Successfully Merged !!!\r\n:velkend\r\necho Thank you for using VELK",
               echoName);
}

// Writes "<destDir><name><ending>" at exactly `size` bytes, through partWriter; `put`
// fills it. The path is formed in scratchText after the free-space check, which
// forms its messages there.
template <typename Put>
bool WriteWhole(const char* name, const char* ending, unsigned long long size, Put put) {
    if (!FormatText(scratchText, sizeof scratchText, "%s%s%s", appState.destDir, name, ending) ||
        !FitsPath(scratchText)) {
        return StopAsFailed("Cannot create the File: its path is too long", appState.destDir, name,
                            ending);
    }
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) {
        return StopAsFailed("Not enough Memory to write the File", appState.destDir, name, ending);
    }
    bool ok = partWriter->OpenForWrite(scratchText, static_cast<DWORD>(size)) == 1;
    if (ok) {
        ok = put() || StopAsFailed("Error Writing File", appState.destDir, name, ending);
        partWriter->Close();
    } else {
        StopAsFailed("Error Creating File", appState.destDir, name, ending);
    }
    delete partWriter;
    partWriter = nullptr;
    return ok;
}

bool WriteScriptAndList(const char* name) {
    char scriptName[kOemNameSize];
    char echoName[kOemNameSize];
    // No script at all rather than one that runs or joins something else; the list
    // is still written (other systems read the name in UTF-8), and the split goes on
    // to its summary.
    const bool scripted = ScriptNames(name, scriptName, echoName);
    const DWORD parts = appState.partCount;
    const bool hashes = HavePartDigests(parts);
    ScriptOut counted(nullptr);
    if (scripted) PutScript(counted, scriptName, echoName, parts, hashes);
    const unsigned long long scriptSize = counted.size();
    const unsigned long long listSize = hashes ? DigestListSize(name) : 0;
    if (!counted.ok()) return StopAsFailed("Error Writing File", appState.destDir, name, ".bat");
    if (scriptSize + listSize > 0xFFFFFFFFull) {
        return StopAsFailed("The Merge Script and Checksum List are too large", appState.destDir,
                            name, ".bat");
    }
    // Script and list are counted together: on floppies both go onto the last disk.
    if (scriptSize + listSize != 0 &&
        !RoomAtDestination(static_cast<DWORD>(scriptSize + listSize))) {
        return false;
    }
    if (scripted && !WriteWhole(name, ".bat", scriptSize, [&] {
            ScriptOut out(partWriter);
            PutScript(out, scriptName, echoName, parts, hashes);
            return out.ok() && out.size() == scriptSize;
        })) {
        return false;
    }
    // The script joins without the list; the list's failure is still said.
    if (PartDigestsLost()) {
        return StopAsFailed("The Checksum List cannot be written: the SHA-256 of the Parts could "
                            "not be taken",
                            appState.destDir, name, ".sha256");
    }
    if (hashes && listSize == 0) {
        return StopAsFailed("The Checksum List cannot be written: the name has no UTF-8 spelling",
                            appState.destDir, name, ".sha256");
    }
    bool listed = listSize == 0 || WriteWhole(name, ".sha256", listSize, [&] {
                      return WriteDigestList(*partWriter, name);
                  });
    if (listed && !scripted) TellHowToJoin(name, parts);
    return listed;
}
}  // namespace

bool WriteMergeScript() {
    const char* name = PathFindFileNameA(appState.sourcePath);
    BeginRunEnd();
    bool written = AddBackslash(appState.destDir)
                       ? WriteScriptAndList(name)
                       : StopAsFailed("Cannot create the File: its path is too long",
                                      appState.destDir, "\\", name);
    EndPartDigests();
    if (!written) ShowRunEnd();
    return written;
}
