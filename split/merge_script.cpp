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


namespace {
// The name as the script spells it, in the OEM code page: on the copy lines with
// each % doubled (%...% is a variable), and on cmd's echo lines also with a caret
// before each & | < > ^, which outside quotes would start another command (so
// "x&del *.*&y.zip" is shown, not run). Worked on in UTF-16, so the second byte of a
// double-byte character (タ is 0x83 0x5E in code page 932) is never taken for one of
// them. `wideLength` is the name's length in UTF-16 units, as cmd counts a path.
// False when the name cannot be spelled exactly.
bool ScriptNames(const char* name, char* copyName, char* echoName, std::size_t& wideLength) {
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
    wideLength = std::wcslen(wide);
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
// It also keeps the longest line, for the interpreter of Windows 95/98.
class ScriptOut {
public:
    explicit ScriptOut(MappedFile* writer) : writer_(writer) {}

    void Put(const char* text) {
        std::size_t length = std::strlen(text);
        size_ += length;
        for (const char* c = text; *c != '\0'; ++c) {
            line_ = *c == '\r' || *c == '\n' ? 0 : line_ + 1;
            if (line_ > longest_) longest_ = line_;
        }
        if (writer_ != nullptr && ok_) {
            ok_ = writer_->Write(text, static_cast<DWORD>(length)) == 1;
        }
    }
    // A piece with the names in it, formed whole before it is written.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        bool formed = FormatPiece(format, args);
        va_end(args);
        if (formed) Put(piece_);
    }
    // One line of the Windows 95/98 path: `format` when it fits in the 127 bytes
    // that interpreter reads of a line, else the same line without the name.
    void Line9x(const char* shorter, const char* format, ...)
        __attribute__((format(printf, 3, 4))) {
        va_list args;
        va_start(args, format);
        bool formed = FormatPiece(format, args);
        va_end(args);
        if (formed) Put(std::strlen(piece_) <= kLine9x + 2 ? piece_ : shorter);
    }
    unsigned long long size() const { return size_; }
    std::size_t longest() const { return longest_; }
    bool ok() const { return ok_; }

    // COMMAND.COM cuts a batch line at 127 bytes (the rest would be lost).
    static constexpr std::size_t kLine9x = 127;

private:
    bool FormatPiece(const char* format, va_list args) {
        int length = std::vsnprintf(piece_, sizeof piece_, format, args);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof piece_) ok_ = false;
        return ok_;
    }

    MappedFile* writer_;
    unsigned long long size_ = 0;
    std::size_t line_ = 0;
    std::size_t longest_ = 0;
    bool ok_ = true;
    char piece_[4 * kOemNameSize + 256];
};

// What the script is made for: the run's sizes and the name in its spellings.
struct ScriptFacts {
    const char* name;      // for copy lines and COMMAND.COM's echo: % doubled
    const char* echoName;  // for cmd's echo: also ^ before & | < > ^
    std::size_t wideLength;
    unsigned long long fileSize;
    unsigned long long splitSize;
    unsigned long long parts;
    bool hashes;

    unsigned long long PartLength(unsigned long long part) const {
        return part < parts ? splitSize : fileSize - (parts - 1) * splitSize;
    }
};

// Where certutil's output is read from.
constexpr char kHashing[] = "velk.hashing";

unsigned long PartNumber(unsigned long long part) { return static_cast<unsigned long>(part); }

// The lines after a bad part's own: the recovery volumes, when the run wrote them, and
// the program's own join.
void PutAfterBadPart(ScriptOut& out, const ScriptFacts& f, bool nine) {
    const char* recovery = "echo The recovery volumes %s.par2 and %s.vol*.par2 can rebuild it,\r\n";
    const char* velk = "echo VELK can also join the set from its first part, %s.001.\r\n";
    if (scriptRecoveryParts != 0) {
        if (nine) {
            out.Line9x("echo The recovery volumes (.par2) beside the parts can rebuild it,\r\n",
                       recovery, f.name, f.name);
        } else {
            out.Format(recovery, f.echoName, f.echoName);
        }
        out.Put("echo with VELK's join or any PAR2 tool.\r\n");
    }
    if (nine) {
        out.Line9x("echo VELK can also join the set from its first part.\r\n", velk, f.name);
    } else {
        out.Format(velk, f.echoName);
    }
}

// Windows 95/98 (COMMAND.COM): no exit code from copy, no &, lines cut at 127 bytes.
// What can be known there is that every part is there; a file of the joined name is
// never replaced, and the result is said to be unchecked, never merged.
void Put9xLines(ScriptOut& out, const ScriptFacts& f) {
    const char* n = f.name;
    out.Format("if exist \"%s\" goto velk9have\r\nif exist \"%s\\nul\" goto velk9have\r\n", n, n);
    for (unsigned long long part = 1; part <= f.parts; ++part) {
        char shorter[kOemNameSize + 64];
        FormatText(shorter, sizeof shorter, "if not exist \"%s.%03lu\" echo Part %lu is missing.\r\n",
                   n, PartNumber(part), PartNumber(part));
        out.Line9x(shorter, "if not exist \"%s.%03lu\" echo Part %lu (%s.%03lu) is missing.\r\n", n,
                   PartNumber(part), PartNumber(part), n, PartNumber(part));
        out.Format("if not exist \"%s.%03lu\" goto velk9bad\r\n", n, PartNumber(part));
    }
    out.Format("copy /b /y \"%s.001\" \"%s\"\r\n", n, n);
    for (unsigned long long part = 2; part <= f.parts; ++part) {
        out.Format("copy /b /y \"%s\"+\"%s.%03lu\"\r\n", n, n, PartNumber(part));
    }
    out.Line9x("echo The parts were joined,\r\n", "echo The parts were joined into %s,\r\n", n);
    out.Format("echo but the result could not be checked: this system reports no failed copy.\r\n"
               "echo It should be %llu bytes long:\r\n"
               "dir \"%s\"\r\n"
               "goto velkend\r\n"
               ":velk9have\r\n",
               f.fileSize, n);
    out.Line9x("echo A file of the joined name is here already: it is not replaced on this system.\r\n",
               "echo %s is here already: it is not replaced on this system.\r\n", n);
    out.Put("echo Move it elsewhere, then run this script again.\r\n"
            "goto velk9stop\r\n"
            ":velk9bad\r\n");
    PutAfterBadPart(out, f, true);
    out.Put(":velk9stop\r\necho Nothing was joined.\r\ngoto velkend\r\n");
}

// The Windows 95/98 path whole, or, for a name too long for its lines, what to do.
void Put9x(ScriptOut& out, const ScriptFacts& f) {
    ScriptOut probe(nullptr);
    Put9xLines(probe, f);
    if (probe.ok() && probe.longest() <= ScriptOut::kLine9x) {
        Put9xLines(out, f);
        return;
    }
    out.Put("echo The names of these parts are too long for the batch files of this system:\r\n"
            "echo join them with VELK, or with copy /b under shorter names.\r\n"
            "echo Nothing was joined.\r\n"
            "goto velkend\r\n");
}

// certutil's SHA-256 of `file` (spelled for the script) into velksum: it prints the
// hash on its second line, Windows 10 in one word, Windows 7 with a blank between
// bytes; quotes and blanks go. "-" when it printed no second line. Its output goes
// through a file of a fixed name: Wine's cmd expands a % again in the file of a
// FOR /F, so the parts' name cannot be in it.
void PutHashRead(ScriptOut& out, const char* file) {
    out.Format("certutil -hashfile \"%s\" SHA256 >\"%s\" 2>nul\r\n"
               "set velksum=& for /f \"usebackq skip=1 delims=\" %%%%h in (\"%s\") do "
               "if not defined velksum set \"velksum=%%%%h\"\r\n",
               file, kHashing, kHashing);
    out.Put("if not defined velksum set velksum=-\r\n"
            "set \"velksum=%velksum:\"=%\"\r\n"
            "set \"velksum=%velksum: =%\"\r\n");
}

// cmd (Windows NT and later), from the folder of the script wherever it was started:
// first what would keep the join from its folder, then each part there, of its
// length, and where certutil prints a SHA-256, of its contents. Delayed expansion is
// off, so a ! in a name stays; names reach echo only through a FOR variable or in
// their echo spelling. What an if does beyond one command is in parentheses: Wine's
// cmd runs a command after & inside a FOR's if whatever the condition, so no if is
// put inside a FOR. Every check is on the part's own lines, so the script runs in
// time linear in the parts (a call would search the script for its label each time).
void PutNtChecks(ScriptOut& out, const ScriptFacts& f) {
    const char* n = f.name;
    // Every path the script makes is the folder's, a backslash, the name and 8 more
    // characters (.joining): past 259 in all, the join cannot be made there.
    const std::size_t room = f.wideLength < 250 ? 250 - f.wideLength : 0;
    out.Format(":velknt\r\n"
               "setlocal EnableExtensions DisableDelayedExpansion\r\n"
               "pushd \"%%~dp0\"\r\n"
               "set COPYCMD=/Y\r\n"
               "if not \"%%CD:~%lu%%\"==\"\" goto velklong\r\n"
               "if exist \"%s\\*\" goto velkfolder\r\n"
               "if exist \"%s.joining\" (set velkway=j& goto velkinway)\r\n",
               static_cast<unsigned long>(room), n, n);
    if (f.hashes) out.Format("if exist \"%s\" (set velkway=h& goto velkinway)\r\n", kHashing);
    out.Format("type nul 2>nul >\"%s.joining\"\r\n"
               "if not exist \"%s.joining\" goto velkreadonly\r\n"
               "del \"%s.joining\"\r\n",
               n, n, n);
    // Whether certutil gives a SHA-256 here at all (Wine's prints nothing, Windows XP
    // has none) is asked once, of the script itself; where it does, each part is
    // hashed, and a part it gives none for is unchecked on its own.
    if (f.hashes) {
        PutHashRead(out, "%~f0");
        out.Put("set velkhash=& if not \"%velksum:~63%\"==\"\" if \"%velksum:~64%\"==\"\" "
                "set velkhash=1\r\n"
                "set velkunsure=0& set velkfirst=\r\n");
    }
    char hex[2 * kDigestSize + 1] = "";
    for (unsigned long long part = 1; part <= f.parts; ++part) {
        const unsigned long k = PartNumber(part);
        out.Format("set velkk=%lu& set velkd=%03lu& set velkz=& for %%%%f in (\"%s.%03lu\") do "
                   "set \"velkz=%%%%~zf\"\r\n"
                   "if not exist \"%s.%03lu\" (set \"velkwhat=is missing\"& goto velksay) else "
                   "if not \"%%velkz%%\"==\"%llu\" (set \"velkwhat=has the wrong length: "
                   "%%velkz%% bytes, not %llu\"& goto velksay)\r\n",
                   k, k, n, k, n, k, f.PartLength(part), f.PartLength(part));
        if (!f.hashes || !PartDigestHex(k, hex)) continue;
        // The goto finds its label a few lines on: no search through the script.
        out.Format("if not defined velkhash goto velkh%lu\r\n", k);
        char file[kOemNameSize + 16];
        FormatText(file, sizeof file, "%s.%03lu", n, k);
        PutHashRead(out, file);
        // 64 characters that are not this part's hash: its contents differ. Anything
        // else is no hash: this part is unchecked, the others still checked.
        out.Format("if /i not \"%%velksum%%\"==\"%s\" if not \"%%velksum:~63%%\"==\"\" "
                   "if \"%%velksum:~64%%\"==\"\" (set \"velkwhat=is damaged: its contents differ "
                   "from the part that was split\"& goto velksay)\r\n"
                   "if /i not \"%%velksum%%\"==\"%s\" (set /a velkunsure+=1& "
                   "if not defined velkfirst (set velkfirst=%lu& set velkfirstd=%03lu))\r\n"
                   ":velkh%lu\r\n",
                   hex, hex, k, k, k);
    }
    if (f.hashes) {
        out.Format("if exist \"%s\" del \"%s\"\r\n"
                   "if not defined velkhash echo Could not check the contents of the parts "
                   "here, certutil gives no SHA-256: each part is there and of its length.\r\n"
                   "if not \"%%velkunsure%%\"==\"0\" for %%%%f in (\"%s.%%velkfirstd%%\") do "
                   "echo Could not check the contents of %%velkunsure%% of the %lu parts, the first "
                   "part %%velkfirst%%, %%%%~f: certutil gave no SHA-256 for them. Each is there "
                   "and of its length.\r\n",
                   kHashing, kHashing, n, PartNumber(f.parts));
    }
    out.Put("goto velkjoin\r\n");
}

// Why nothing was joined, each cause said as it is; the join's own temporary file
// goes, and nothing else is touched.
void PutNtFailures(ScriptOut& out, const ScriptFacts& f) {
    const char* n = f.name;
    const char* e = f.echoName;
    out.Format(":velklong\r\n"
               "echo The path of %s.joining here would pass 259 characters:\r\n"
               "echo copy the parts and this script to a folder of a shorter path, or join them "
               "with VELK.\r\n"
               "goto velkstop\r\n"
               ":velkfolder\r\n"
               "echo There is a folder named %s here: rename or move it, then run this script "
               "again.\r\n"
               "goto velkstop\r\n",
               e, e);
    // No parentheses after an if: Wine's cmd takes one in an echo for a block.
    const char* inWay = "is in the way, left perhaps by an earlier join: move or rename it, "
                        "then run this script again.";
    out.Format(":velkinway\r\n"
               "if \"%%velkway%%\"==\"j\" echo %s.joining %s\r\n"
               "if \"%%velkway%%\"==\"h\" echo %s %s\r\n"
               "goto velkstop\r\n"
               ":velkreadonly\r\n"
               "echo This folder cannot be written: copy the parts and this script to a folder "
               "that can be, or join them elsewhere with VELK.\r\n"
               "goto velkstop\r\n",
               e, inWay, kHashing, inWay);
    out.Format(":velkfail\r\n"
               "if exist \"%s.joining\" del \"%s.joining\"\r\n"
               "if not defined velkk echo %s could not be replaced.\r\n"
               "if not defined velkk goto velkstop\r\n"
               "set velkwhat=could not be copied\r\n"
               ":velksay\r\n"
               "if exist \"%s\" del \"%s\"\r\n"
               "for %%%%f in (\"%s.%%velkd%%\") do echo Part %%velkk%% (%%%%~f) %%velkwhat%%.\r\n",
               n, n, e, kHashing, kHashing, n);
    PutAfterBadPart(out, f, false);
    out.Put(":velkstop\r\npopd\r\necho Nothing was joined.\r\nexit /b 1\r\n");
}

// The join goes into "<name>.joining", which replaces a file of the name only once
// every copy succeeded: an earlier file of that name stays as it was on any failure.
void PutNtJoin(ScriptOut& out, const ScriptFacts& f) {
    const char* n = f.name;
    out.Format(":velkjoin\r\ncopy /b \"%s.001\" \"%s.joining\"\r\n", n, n);
    for (unsigned long long part = 1; part <= f.parts; ++part) {
        const unsigned long k = PartNumber(part);
        if (part > 1) out.Format("copy /b \"%s.joining\"+\"%s.%03lu\" \"%s.joining\"\r\n", n, n, k, n);
        out.Format("if errorlevel 1 (set velkk=%lu& set velkd=%03lu& goto velkfail)\r\n", k, k);
    }
    out.Format("move /y \"%s.joining\" \"%s\" >nul\r\n"
               "if errorlevel 1 (set velkk=& goto velkfail)\r\n"
               "popd\r\n",
               n, n);
}

void PutScript(ScriptOut& out, const ScriptFacts& f) {
    out.Put("@echo off\r\necho ");
    out.Put(kWindowTitle);
    // Only cmd runs what follows an &; COMMAND.COM echoes the whole line into nul.
    out.Put("\r\necho Merging Files ....\r\necho velk>nul & goto velknt\r\n");
    Put9x(out, f);
    PutNtChecks(out, f);
    PutNtFailures(out, f);
    PutNtJoin(out, f);
    out.Format("echo %s Successfully Merged !!!\r\n:velkend\r\necho Thank you for using VELK",
               f.echoName);
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

bool WriteScriptAndList(const char* name, unsigned long long fileSize,
                        unsigned long long splitSize, unsigned long long parts) {
    char scriptName[kOemNameSize];
    char echoName[kOemNameSize];
    ScriptFacts facts{scriptName, echoName, 0, fileSize, splitSize, parts, false};
    // No script at all rather than one that runs or joins something else; the list
    // is still written (other systems read the name in UTF-8), and the split goes on
    // to its summary.
    const bool scripted = ScriptNames(name, scriptName, echoName, facts.wideLength);
    if (parts == 0 || parts > 0xFFFFFFFFull) return false;
    const DWORD count = static_cast<DWORD>(parts);
    facts.hashes = HavePartDigests(count);
    ScriptOut counted(nullptr);
    if (scripted) PutScript(counted, facts);
    const unsigned long long scriptSize = counted.size();
    const unsigned long long listSize = facts.hashes ? DigestListSize(name) : 0;
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
            PutScript(out, facts);
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
    if (facts.hashes && listSize == 0) {
        return StopAsFailed("The Checksum List cannot be written: the name has no UTF-8 spelling",
                            appState.destDir, name, ".sha256");
    }
    bool listed = listSize == 0 || WriteWhole(name, ".sha256", listSize, [&] {
                      return WriteDigestList(*partWriter, name);
                  });
    if (listed && !scripted) TellHowToJoin(name, count);
    return listed;
}
}  // namespace

DWORD scriptRecoveryParts = 0;

bool WriteMergeScript(unsigned long long fileSize, unsigned long long splitSize,
                      unsigned long long partCount) {
    const char* name = PathFindFileNameA(appState.sourcePath);
    BeginRunEnd();
    bool written = AddBackslash(appState.destDir)
                       ? WriteScriptAndList(name, fileSize, splitSize, partCount)
                       : StopAsFailed("Cannot create the File: its path is too long",
                                      appState.destDir, "\\", name);
    EndPartDigests();
    if (!written) ShowRunEnd();
    return written;
}

bool WriteMergeScript() {
    return WriteMergeScript(appState.fileSize, appState.splitSize, appState.partCount);
}
